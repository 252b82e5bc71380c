#pragma once

#include "ledger/ledger.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

namespace quillon {

// Collects the allocations that the ports ask for while the event loop is busy and commits them
// together on its next turn: an allocation waits for the disk, and with many ports ready at
// once, one wait for all of them keeps the loop free for the exchanges.
class AllocationQueue : public QObject
{
    Q_OBJECT
public:
    using Done = std::function<void(const Ledger::AllocateResult &)>;

    explicit AllocationQueue(Ledger &ledger, QObject *parent = nullptr);

    // `done` runs from the event loop once the allocation is committed or has failed.
    void request(const Ledger::AllocationRequest &request, Done done);

private:
    void flush();

    Ledger &ledger_;
    QTimer flushTimer_;
    QList<Ledger::AllocationRequest> requests_;
    QList<Done> done_;
};

} // namespace quillon
