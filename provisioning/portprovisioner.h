#pragma once

#include "ledger/ledger.h"
#include "provisioning/allocationqueue.h"
#include "provisioning/devicereport.h"
#include "provisioning/portevent.h"
#include "session/devicesession.h"
#include "session/portargument.h"

#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>
#include <utility>

namespace quillon {

// One port of a provisioning run: read the device, skip it when the ledger knows it as
// verified, otherwise allocate its numbers, write them with the plan's settings, read back and
// record the result. With watch it then polls the port until the device is replaced and starts
// over. Every port has its own, so one event loop drives all of them side by side.
class PortProvisioner : public QObject
{
    Q_OBJECT
public:
    struct Setup
    {
        const ProvisionPlan *plan = nullptr;
        Ledger *ledger = nullptr;
        AllocationQueue *allocations = nullptr;
        bool watch = false;
        // Gives a unit numbered elsewhere this plan's numbers instead of leaving it alone.
        bool renumber = false;
        ExchangeTiming timing;
        int watchIntervalMs = 1000;
        // Called between a committed allocation and the write; tests stop the process here.
        std::function<void(const QString &port)> afterAllocation;
    };

    PortProvisioner(const PortArgument &port, const Setup &setup, QObject *parent = nullptr);

    void start();
    // Ctrl+C: a device that already has its numbers is finished, an exchange in flight runs
    // to its end, nothing new starts.
    void interrupt();

signals:
    void deviceDone(const quillon::DeviceReport &report);
    // The port gives up without a device to report: no device, no numbers left, no ledger.
    void portStopped(const QString &port, const QString &reason);
    void finished();
    // Every change of the port's state, as it happens.
    void portEvent(const quillon::PortEvent &event);

private:
    enum class Phase { Seeking, Allocating, Writing, Verifying, Watching, Finished };
    using Identity = std::pair<quint32, MacAddress>;

    void onExchangeEnded();
    void onSeekingRead();
    void onWatchingRead();
    void provision(const DeviceSettings &found);
    void onAllocated(const Ledger::AllocateResult &result);
    void onWritten();
    void onVerified();
    void deviceEnded(DeviceReport::Outcome outcome, const QString &reason = {});
    void stop(const QString &reason);
    void finish();
    void poll();
    // Emits `kind` with the device in hand's identity: the one it was given from allocation
    // on, the one it showed before.
    void report(PortEvent::Kind kind, const QString &reason = {});
    // A port without a device reports its state once, not at every poll.
    void reportNoDevice();

    QString name() const { return session_.name(); }

    Setup setup_;
    DeviceSession session_;
    QTimer pollTimer_;
    Phase phase_ = Phase::Seeking;
    bool interrupted_ = false;
    // The device in hand: what it held, what it was given, and the serial number and MAC its
    // last good read showed, which a replacement differs from.
    DeviceSettings before_;
    DeviceSettings target_;
    Ledger::Allocation allocation_;
    Identity shown_;
    // The identity this port has just given or found recorded: a unit that reappears with it
    // after a gap is the same unit, not a new one.
    std::optional<Identity> settled_;
    bool given_ = false; // target_ holds allocated numbers
    std::optional<std::pair<PortEvent::Kind, QString>> lastNoDevice_;
};

} // namespace quillon
