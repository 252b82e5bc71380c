#include "provisioning/allocationqueue.h"

namespace quillon {

AllocationQueue::AllocationQueue(Ledger &ledger, QObject *parent) : QObject(parent), ledger_(ledger)
{
    flushTimer_.setSingleShot(true);
    flushTimer_.setInterval(0);
    connect(&flushTimer_, &QTimer::timeout, this, &AllocationQueue::flush);
}

void AllocationQueue::request(const Ledger::AllocationRequest &request, Done done)
{
    requests_ << request;
    done_ << std::move(done);
    if (!flushTimer_.isActive()) {
        flushTimer_.start();
    }
}

void AllocationQueue::flush()
{
    const QList<Ledger::AllocationRequest> requests = std::exchange(requests_, {});
    const QList<Done> done = std::exchange(done_, {});
    const QList<Ledger::AllocateResult> results = ledger_.allocate(requests);
    for (qsizetype i = 0; i < done.size(); ++i) {
        done[i](results[i]);
    }
}

} // namespace quillon
