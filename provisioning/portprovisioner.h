#pragma once

#include "ledger/ledgerworker.h"
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
        LedgerWorker *ledger = nullptr;
        AllocationQueue *allocations = nullptr;
        bool watch = false;
        // Gives a unit numbered elsewhere this plan's numbers instead of leaving it alone.
        bool renumber = false;
        ExchangeTiming timing;
        int watchIntervalMs = 1000;
        // Called between a committed allocation and the write; tests stop the process here.
        std::function<void(const QString &port)> afterAllocation;
        // Called between a good read-back and recording the device as verified.
        std::function<void(const QString &port)> beforeVerifiedRecord;
    };

    // What the port is doing, for a front end that shows each port as it goes.
    enum class Step { Waiting, Unavailable, Reading, Writing, Verifying };
    Q_ENUM(Step)

    PortProvisioner(const PortArgument &port, const Setup &setup, QObject *parent = nullptr);

    void start();
    // Ctrl+C: a device that already has its numbers is finished, an exchange in flight runs
    // to its end, nothing new starts.
    void interrupt();

signals:
    // Raised when the step changes, not at every poll; `detail` says why a port is unavailable.
    void stepChanged(quillon::PortProvisioner::Step step, const QString &detail);
    void deviceDone(const quillon::DeviceReport &report);
    // The port gives up without a device to report: no device, no numbers left, no ledger.
    void portStopped(const QString &port, const QString &reason);
    void finished();
    // Every change of the port's state, as it happens.
    void portEvent(const quillon::PortEvent &event);

private:
    // Checking and Recording wait for the ledger, Allocating for the allocation queue.
    enum class Phase {
        Seeking,
        Checking,
        Allocating,
        Writing,
        Recording,
        Verifying,
        Watching,
        Finished
    };
    // What a ledger update came back with: empty when it was recorded.
    using Failure = QString;
    using Identity = std::pair<quint32, MacAddress>;
    // The device file the port's path leads to (its device number and inode): a unit swapped
    // between two polls shows no gap, but a new node.
    using DeviceNode = std::pair<quint64, quint64>;
    static std::optional<DeviceNode> NodeOf(const QString &path);
    // Reads the port for a device, noting the node it leads to first.
    void seek();

    void onExchangeEnded();
    void onSeekingRead();
    void onWatchingRead();
    void provision(const DeviceSettings &found);
    // What the ledger knows of a device's identity: verified there, or handed out there at all.
    struct LedgerCheck
    {
        std::optional<bool> verified;
        std::optional<bool> ours;
        QString error;
    };
    void onChecked(const LedgerCheck &check);
    void onAllocated(const Ledger::AllocateResult &result);
    void onWritten();
    void onVerified();
    void deviceEnded(DeviceReport::Outcome outcome, const QString &reason = {});
    void report(DeviceReport::Outcome outcome, const QString &reason, const Failure &failure);
    void ledgerFailed(const QString &error);
    void stop(const QString &reason);
    void finish();
    void poll();
    // Lets go of the port, so that no lock is held while waiting, and polls it again later.
    void awaitPoll();
    // The step of a port whose read found no device: waiting, or unavailable when the port
    // itself failed.
    void noDevice();
    void enterStep(Step step, const QString &detail = {});
    // Emits `kind` with the device in hand's identity: the one it was given from allocation
    // on, the one it showed before.
    void emitEvent(PortEvent::Kind kind, const QString &reason = {});
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
    QString path_;
    std::optional<DeviceNode> readNode_;  // before the read under way
    std::optional<DeviceNode> shownNode_; // of the unit in hand
    std::optional<std::pair<PortEvent::Kind, QString>> lastNoDevice_;
    std::optional<Step> step_;
    QString stepDetail_;
};

} // namespace quillon
