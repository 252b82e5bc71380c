#include "ledger/ledgerworker.h"

namespace quillon {

LedgerWorker::LedgerWorker() : home_(std::make_unique<QObject>())
{
    thread_.setObjectName(QStringLiteral("ledger"));
    home_->moveToThread(&thread_);
    thread_.start();
}

LedgerWorker::~LedgerWorker()
{
    // Queued behind every task already posted, so that each of them still reaches the ledger.
    QMetaObject::invokeMethod(
        home_.get(),
        [this] {
            ledger_.reset();
            thread_.quit();
        },
        Qt::QueuedConnection);
    thread_.wait();
    home_.reset();
}

bool LedgerWorker::openForRun(const LedgerLocation &location, const ProvisionPlan &plan,
                              QString *error)
{
    QMetaObject::invokeMethod(
        home_.get(), [&] { ledger_ = Ledger::openForRun(location, plan, error); },
        Qt::BlockingQueuedConnection);
    return ledger_ != nullptr;
}

} // namespace quillon
