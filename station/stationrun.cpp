#include "station/stationrun.h"

namespace quillon {

StationRun::StationRun(const ProvisionPlan &plan, std::unique_ptr<LedgerWorker> ledger,
                       const QList<PortArgument> &fixtures, const Timing &timing, QObject *parent)
    : QObject(parent), plan_(plan), ledger_(std::move(ledger)), allocations_(*ledger_)
{
    PortProvisioner::Setup setup;
    setup.plan = &plan_;
    setup.ledger = ledger_.get();
    setup.allocations = &allocations_;
    setup.watch = true;
    setup.timing = timing.exchange;
    setup.watchIntervalMs = timing.watchIntervalMs;
    for (int i = 0; i < fixtures.size(); ++i) {
        auto fixture = std::make_unique<PortProvisioner>(fixtures[i], setup);
        connect(fixture.get(), &PortProvisioner::stepChanged, this,
                [this, i](PortProvisioner::Step step, const QString &detail) {
                    emit stepChanged(i, step, detail);
                });
        connect(fixture.get(), &PortProvisioner::deviceDone, this,
                [this, i](const DeviceReport &report) { emit deviceDone(i, report); });
        connect(
            fixture.get(), &PortProvisioner::portStopped, this,
            [this, i](const QString &, const QString &reason) { emit fixtureStopped(i, reason); });
        connect(fixture.get(), &PortProvisioner::finished, this, [this] {
            if (--running_ == 0) {
                emit finished();
            }
        });
        fixtures_.push_back(std::move(fixture));
    }
}

StationRun::~StationRun() = default;

void StationRun::start()
{
    running_ = static_cast<int>(fixtures_.size());
    for (const auto &fixture : fixtures_) {
        fixture->start();
    }
}

void StationRun::stop()
{
    stopping_ = true;
    for (const auto &fixture : fixtures_) {
        fixture->interrupt();
    }
}

} // namespace quillon
