#pragma once

#include "ledger/ledgerworker.h"
#include "provisioning/allocationqueue.h"
#include "provisioning/eventlog.h"
#include "provisioning/labelhook.h"
#include "provisioning/portprovisioner.h"
#include "session/portargument.h"
#include "settings/provisionplan.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

namespace quillon {

// One session at the station: every fixture watched by its own provisioner, as
// `quillonctl provision --watch` does, on one ledger, with the same label hook and log as its
// --on-verified and --log. Fixtures are told apart by their index.
class StationRun : public QObject
{
    Q_OBJECT
public:
    struct Timing
    {
        ExchangeTiming exchange;
        int watchIntervalMs = 1000;
        int hookTimeLimitMs = LabelHook::kTimeLimitMs;
    };

    StationRun(const ProvisionPlan &plan, std::unique_ptr<LedgerWorker> ledger,
               const QList<PortArgument> &fixtures, const Timing &timing, const QString &labelHook,
               QObject *parent = nullptr);
    ~StationRun() override;

    // Opens the station log before the start; false with why.
    bool openLog(const QString &path, QString *error) { return log_.open(path, error); }
    void start();
    // Lets every running exchange end and a unit that has its numbers be finished; finished()
    // follows once every fixture is idle and every label command has ended.
    void stop();
    bool stopping() const { return stopping_; }

    LedgerWorker &ledger() { return *ledger_; }

signals:
    void stepChanged(int fixture, quillon::PortProvisioner::Step step, const QString &detail);
    void deviceDone(int fixture, const quillon::DeviceReport &report);
    void fixtureStopped(int fixture, const QString &reason);
    // The label command of the unit that just passed at the fixture failed; it stays passed.
    void labelFailed(int fixture, const QString &reason);
    // The log can no longer be written; the run stops, as quillonctl's does.
    void logFailed(const QString &reason);
    void finished();

private:
    void record(const PortEvent &event);
    void fixtureFinished();

    ProvisionPlan plan_;
    std::unique_ptr<LedgerWorker> ledger_;
    AllocationQueue allocations_;
    std::vector<std::unique_ptr<PortProvisioner>> fixtures_;
    QStringList names_;
    LabelHook hook_;
    EventLog log_;
    int running_ = 0;
    bool stopping_ = false;
};

} // namespace quillon
