#pragma once

#include "ledger/ledgerworker.h"
#include "provisioning/allocationqueue.h"
#include "provisioning/portprovisioner.h"
#include "session/portargument.h"
#include "settings/provisionplan.h"

#include <QList>
#include <QObject>

#include <memory>
#include <vector>

namespace quillon {

// One session at the station: every fixture watched by its own provisioner, as
// `quillonctl provision --watch` does, on one ledger. Fixtures are told apart by their index.
class StationRun : public QObject
{
    Q_OBJECT
public:
    struct Timing
    {
        ExchangeTiming exchange;
        int watchIntervalMs = 1000;
    };

    StationRun(const ProvisionPlan &plan, std::unique_ptr<LedgerWorker> ledger,
               const QList<PortArgument> &fixtures, const Timing &timing,
               QObject *parent = nullptr);
    ~StationRun() override;

    void start();
    // Lets every running exchange end and a unit that has its numbers be finished; finished()
    // follows once every fixture is idle.
    void stop();
    bool stopping() const { return stopping_; }

    LedgerWorker &ledger() { return *ledger_; }

signals:
    void stepChanged(int fixture, quillon::PortProvisioner::Step step, const QString &detail);
    void deviceDone(int fixture, const quillon::DeviceReport &report);
    void fixtureStopped(int fixture, const QString &reason);
    void finished();

private:
    ProvisionPlan plan_;
    std::unique_ptr<LedgerWorker> ledger_;
    AllocationQueue allocations_;
    std::vector<std::unique_ptr<PortProvisioner>> fixtures_;
    int running_ = 0;
    bool stopping_ = false;
};

} // namespace quillon
