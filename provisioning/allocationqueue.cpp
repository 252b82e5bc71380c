#include "provisioning/allocationqueue.h"

namespace quillon {

AllocationQueue::AllocationQueue(LedgerWorker &ledger, QObject *parent)
    : QObject(parent), ledger_(ledger)
{
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    connect(&flushTimer_, &QTimer::timeout, this, &AllocationQueue::flush);
}

void AllocationQueue::request(const Ledger::AllocationRequest &request, Done done)
{
    requests_ << request;
    done_ << std::move(done);
    if (!inFlight_ && !flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void AllocationQueue::flush()
{
    if (requests_.isEmpty()) {
        return;
    }
    inFlight_ = true;
    ledger_.post(
        this,
        [requests = std::exchange(requests_, {})](Ledger &ledger) {
            return ledger.allocate(requests);
        },
        [this, done = std::exchange(done_, {})](const QList<Ledger::AllocateResult> &results) {
            inFlight_ = false;
            for (qsizetype i = 0; i < done.size(); ++i) {
                done[i](results[i]);
            }
            flush();
        });
}

} // namespace quillon
