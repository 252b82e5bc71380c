#pragma once

#include "ledger/ledger.h"

#include <QObject>
#include <QPointer>
#include <QThread>

#include <memory>
#include <utility>

namespace quillon {

// The ledger on a thread of its own, with its own database connection (a connection belongs to
// the thread that made it). Work is queued and runs in order there, so that a ledger locked by
// another process or a slow database server delays only the ports that wait for an answer,
// never the exchanges and reply timers of the thread that runs the ports.
class LedgerWorker : public QObject
{
    Q_OBJECT
public:
    LedgerWorker();
    // Finishes the queued work, closes the ledger on its thread, and joins it.
    ~LedgerWorker() override;
    LedgerWorker(const LedgerWorker &) = delete;
    LedgerWorker &operator=(const LedgerWorker &) = delete;

    // Opens the ledger for a run on the worker's thread and waits for it; false with the
    // reason in `error`, which for a missing ledger says how to make one.
    bool openForRun(const LedgerLocation &location, const ProvisionPlan &plan, QString *error);

    // Runs `work(ledger)` on the worker's thread, then `done(result)` on this object's thread,
    // unless `context` is gone by then.
    template <typename Work, typename Done> void post(QObject *context, Work work, Done done)
    {
        QMetaObject::invokeMethod(
            home_.get(),
            [this, guard = QPointer<QObject>(context), work = std::move(work),
             done = std::move(done)]() mutable {
                auto result = work(*ledger_);
                QMetaObject::invokeMethod(
                    this,
                    [guard, done = std::move(done), result = std::move(result)]() mutable {
                        if (guard) {
                            done(std::move(result));
                        }
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
    }

private:
    QThread thread_;
    // Lives on the worker's thread: the target that work is queued to.
    std::unique_ptr<QObject> home_;
    // Made, used and destroyed only on the worker's thread.
    std::unique_ptr<Ledger> ledger_;
};

} // namespace quillon
