#include "station/stationrun.h"

namespace quillon {

StationRun::StationRun(const ProvisionPlan &plan, std::unique_ptr<LedgerWorker> ledger,
                       const QList<PortArgument> &fixtures, const Timing &timing,
                       const QString &labelHook, QObject *parent)
    : QObject(parent), plan_(plan), ledger_(std::move(ledger)), allocations_(*ledger_),
      hook_(labelHook, plan, timing.hookTimeLimitMs)
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
        connect(fixture.get(), &PortProvisioner::portEvent, this, &StationRun::record);
        connect(fixture.get(), &PortProvisioner::finished, this, &StationRun::fixtureFinished);
        names_ << fixtures[i].argument;
        fixtures_.push_back(std::move(fixture));
    }
    connect(&hook_, &LabelHook::failed, this, [this](const PortEvent &event) {
        record(event);
        emit labelFailed(static_cast<int>(names_.indexOf(event.port)), event.reason);
    });
    connect(&hook_, &LabelHook::allEnded, this, [this] {
        if (running_ == 0) {
            emit finished();
        }
    });
}

StationRun::~StationRun() = default;

void StationRun::record(const PortEvent &event)
{
    if (!log_.write(event) && !stopping_) {
        emit logFailed(log_.failure());
        stop();
    }
    if (event.kind == PortEvent::Kind::Verified) {
        hook_.run(event);
    }
}

void StationRun::fixtureFinished()
{
    // The labels of the last units still print; each command has its time limit.
    if (--running_ == 0 && hook_.idle()) {
        emit finished();
    }
}

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
