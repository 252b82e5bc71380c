#pragma once

#include "ledger/ledgerworker.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace quillon {

// Collects the allocations that the ports ask for and commits them together: an allocation
// waits for the disk, and with many ports ready at once, one wait serves all of them. While one
// batch is with the ledger, the next collects.
class AllocationQueue : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const Ledger::AllocateResult &)>;

    explicit AllocationQueue(LedgerWorker &ledger, QObject *parent = nullptr);

    // `done` runs from the event loop once the allocation is committed or has failed.
    void request(const Ledger::AllocationRequest &request, Done done);

private:
    void flush();

    LedgerWorker &ledger_;
    QTimer flushTimer_;
    bool inFlight_ = false;
    QList<Ledger::AllocationRequest> requests_;
    QList<Done> done_;
};

} // namespace quillon
