#include "provisioning/portprovisioner.h"

#include "settings/settingscheck.h"
#include "settings/settingsforms.h"

#include <QFile>

#include <sys/stat.h>

namespace quillon {

namespace {

bool Ok(const ExchangeEnd &end)
{
    return end.outcome == ExchangeOutcome::Ok;
}

// The settings that differ, named with the window's labels.
QString Differences(const DeviceSettings &wanted, const DeviceSettings &got)
{
    return JoinChanges(wanted, got, QStringLiteral(", "),
                       [](const SettingChange &change) { return SettingLabel(change.setting); });
}

PortEvent::Kind EventOf(DeviceReport::Outcome outcome)
{
    switch (outcome) {
    case DeviceReport::Outcome::Verified:
        return PortEvent::Kind::Verified;
    case DeviceReport::Outcome::AlreadyProvisioned:
        return PortEvent::Kind::AlreadyProvisioned;
    case DeviceReport::Outcome::NumberedElsewhere:
        return PortEvent::Kind::NumberedElsewhere;
    case DeviceReport::Outcome::Failed:
        break;
    }
    return PortEvent::Kind::Failed;
}

} // namespace

PortProvisioner::PortProvisioner(const PortArgument &port, const Setup &setup, QObject *parent)
    : QObject(parent), setup_(setup), session_(port, setup.timing), path_(port.path())
{
    pollTimer_.setSingleShot(true);
    pollTimer_.setTimerType(Qt::PreciseTimer);
    pollTimer_.setInterval(setup_.watchIntervalMs);
    connect(&pollTimer_, &QTimer::timeout, this, &PortProvisioner::poll);
    // A device's read, write and read-back share one open of its port.
    session_.keepPortOpen();
    connect(&session_, &DeviceSession::finished, this, &PortProvisioner::onExchangeEnded);
}

void PortProvisioner::start()
{
    phase_ = Phase::Seeking;
    enterStep(Step::Waiting);
    seek();
}

std::optional<PortProvisioner::DeviceNode> PortProvisioner::NodeOf(const QString &path)
{
    struct stat status
    {
    };
    if (path.isEmpty() || ::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return std::nullopt;
    }
    return DeviceNode{status.st_rdev, status.st_ino};
}

void PortProvisioner::seek()
{
    readNode_ = NodeOf(path_);
    session_.read();
}

void PortProvisioner::interrupt()
{
    interrupted_ = true;
    // A device waiting for its numbers, or being written, is finished first.
    if ((phase_ == Phase::Seeking || phase_ == Phase::Watching) && !session_.busy()) {
        pollTimer_.stop();
        finish();
    }
}

void PortProvisioner::poll()
{
    if (phase_ == Phase::Seeking || phase_ == Phase::Watching) {
        seek();
    }
}

void PortProvisioner::awaitPoll()
{
    session_.release();
    pollTimer_.start();
}

void PortProvisioner::onExchangeEnded()
{
    // A path that appeared between the look at its node and the open leads to the device read.
    if ((phase_ == Phase::Seeking || phase_ == Phase::Watching) && !readNode_ &&
        session_.settings()) {
        readNode_ = NodeOf(path_);
    }
    switch (phase_) {
    case Phase::Seeking:
        onSeekingRead();
        break;
    case Phase::Watching:
        onWatchingRead();
        break;
    case Phase::Writing:
        onWritten();
        break;
    case Phase::Verifying:
        onVerified();
        break;
    case Phase::Checking:
    case Phase::Allocating:
    case Phase::Recording:
    case Phase::Finished:
        break;
    }
}

void PortProvisioner::emitEvent(PortEvent::Kind kind, const QString &reason)
{
    const DeviceSettings &device = given_ ? target_ : before_;
    if (kind != PortEvent::Kind::Waiting && kind != PortEvent::Kind::CannotOpen) {
        lastNoDevice_.reset();
    }
    emit portEvent(PortEvent{QDateTime::currentDateTime(), name(), kind, device.serialNumber,
                             device.mac, device.ipAddress, reason});
}

void PortProvisioner::reportNoDevice()
{
    const bool cannotOpen = session_.lastEnd().outcome == ExchangeOutcome::PortError;
    const std::pair state{cannotOpen ? PortEvent::Kind::CannotOpen : PortEvent::Kind::Waiting,
                          session_.failure()};
    if (lastNoDevice_ != state) {
        lastNoDevice_ = state;
        emitEvent(state.first, state.second);
    }
}

void PortProvisioner::onSeekingRead()
{
    const std::optional<DeviceSettings> found = session_.settings();
    if (!found && !interrupted_) {
        reportNoDevice();
    }
    if (interrupted_) {
        finish();
    } else if (found && settled_ == Identity{found->serialNumber, found->mac}) {
        // The unit answers again after a gap: counted once.
        shownNode_ = readNode_;
        phase_ = Phase::Watching;
        awaitPoll();
    } else if (found) {
        provision(*found);
    } else if (setup_.watch) {
        // No device yet, or one still starting: try again.
        noDevice();
        awaitPoll();
    } else {
        stop(QStringLiteral("read: %1").arg(session_.failure()));
    }
}

void PortProvisioner::onWatchingRead()
{
    const std::optional<DeviceSettings> found = session_.settings();
    if (interrupted_) {
        finish();
    } else if (!found) {
        // The device is gone; the next one is provisioned as soon as it answers.
        given_ = false;
        before_.serialNumber = shown_.first;
        before_.mac = shown_.second;
        emitEvent(PortEvent::Kind::Removed);
        reportNoDevice();
        phase_ = Phase::Seeking;
        noDevice();
        awaitPoll();
    } else if (readNode_ != shownNode_) {
        // Another unit was swapped in between two polls: the one in hand is gone.
        given_ = false;
        before_.serialNumber = shown_.first;
        before_.mac = shown_.second;
        emitEvent(PortEvent::Kind::Removed);
        phase_ = Phase::Seeking;
        onSeekingRead();
    } else if (Identity{found->serialNumber, found->mac} == shown_) {
        awaitPoll();
    } else {
        provision(*found);
    }
}

void PortProvisioner::provision(const DeviceSettings &found)
{
    enterStep(Step::Reading);
    before_ = found;
    target_ = found;
    given_ = false;
    shown_ = {found.serialNumber, found.mac};
    shownNode_ = readNode_;
    emitEvent(PortEvent::Kind::Found);
    // The factory identity is every fresh unit's, whatever the ledger holds.
    if (IsFactoryIdentity(found.serialNumber, found.mac)) {
        onChecked(LedgerCheck{false, true, {}});
        return;
    }
    phase_ = Phase::Checking;
    const Identity identity = shown_;
    setup_.ledger->post(
        this,
        [identity](Ledger &ledger) {
            LedgerCheck check;
            check.verified = ledger.isProvisioned(identity.first, identity.second, &check.error);
            check.ours = check.verified && !*check.verified
                             ? ledger.holds(identity.first, identity.second, &check.error)
                             : check.verified;
            return check;
        },
        [this](const LedgerCheck &check) { onChecked(check); });
}

void PortProvisioner::onChecked(const LedgerCheck &check)
{
    if (!check.ours) {
        ledgerFailed(check.error);
        return;
    }
    if (*check.verified) {
        deviceEnded(DeviceReport::Outcome::AlreadyProvisioned);
        return;
    }
    if (!*check.ours && !setup_.renumber) {
        deviceEnded(DeviceReport::Outcome::NumberedElsewhere);
        return;
    }
    if (interrupted_) {
        finish();
        return;
    }
    phase_ = Phase::Allocating;
    setup_.allocations->request(
        {name(), before_.serialNumber, before_.mac},
        [this](const Ledger::AllocateResult &result) { onAllocated(result); });
}

void PortProvisioner::onAllocated(const Ledger::AllocateResult &result)
{
    if (result.outcome == Ledger::Outcome::Failed) {
        ledgerFailed(result.error);
        return;
    }
    if (result.outcome == Ledger::Outcome::Exhausted) {
        stop(result.error);
        return;
    }
    allocation_ = result.allocation;
    const ProvisionPlan &plan = *setup_.plan;
    // The plan keeps every serial number it hands out writable.
    target_ = DeviceSettings{allocation_.serial, allocation_.mac, allocation_.ip, plan.mask,
                             plan.gateway,       plan.dns1,       plan.dns2};
    given_ = true;
    emitEvent(PortEvent::Kind::Allocated);
    if (setup_.afterAllocation) {
        setup_.afterAllocation(name());
    }
    phase_ = Phase::Writing;
    enterStep(Step::Writing);
    session_.write(target_);
}

void PortProvisioner::onWritten()
{
    if (!Ok(session_.lastEnd())) {
        deviceEnded(DeviceReport::Outcome::Failed,
                    QStringLiteral("write: %1").arg(session_.failure()));
        return;
    }
    phase_ = Phase::Recording;
    setup_.ledger->post(
        this,
        [id = allocation_.id](Ledger &ledger) {
            Failure error;
            return ledger.markWritten(id, &error) ? Failure() : error;
        },
        [this](const Failure &failure) {
            if (!failure.isEmpty()) {
                ledgerFailed(failure);
                return;
            }
            emitEvent(PortEvent::Kind::Written);
            phase_ = Phase::Verifying;
            enterStep(Step::Verifying);
            session_.read();
        });
}

void PortProvisioner::onVerified()
{
    const std::optional<DeviceSettings> got = session_.settings();
    if (!got) {
        deviceEnded(DeviceReport::Outcome::Failed,
                    QStringLiteral("read-back: %1").arg(session_.failure()));
        return;
    }
    shown_ = {got->serialNumber, got->mac};
    if (*got != target_) {
        deviceEnded(DeviceReport::Outcome::Failed,
                    QStringLiteral("read-back differs: %1").arg(Differences(target_, *got)));
        return;
    }
    deviceEnded(DeviceReport::Outcome::Verified);
}

void PortProvisioner::deviceEnded(DeviceReport::Outcome outcome, const QString &reason)
{
    if (outcome == DeviceReport::Outcome::AlreadyProvisioned ||
        outcome == DeviceReport::Outcome::NumberedElsewhere) {
        report(outcome, reason, {});
        return;
    }
    // The device counts as verified only once the ledger holds it so: a label printed from a
    // report must never show numbers that a later run would hand out again.
    if (outcome == DeviceReport::Outcome::Verified && setup_.beforeVerifiedRecord) {
        setup_.beforeVerifiedRecord(name());
    }
    phase_ = Phase::Recording;
    setup_.ledger->post(
        this,
        [id = allocation_.id, outcome, reason](Ledger &ledger) {
            Failure error;
            const bool recorded = outcome == DeviceReport::Outcome::Verified
                                      ? ledger.markVerified(id, &error)
                                      : ledger.markFailed(id, reason, &error);
            return recorded ? Failure() : error;
        },
        [this, outcome, reason](const Failure &failure) { report(outcome, reason, failure); });
}

void PortProvisioner::report(DeviceReport::Outcome outcome, const QString &reason,
                             const Failure &failure)
{
    QString why = reason;
    if (!failure.isEmpty() && outcome == DeviceReport::Outcome::Verified) {
        outcome = DeviceReport::Outcome::Failed;
        why = QStringLiteral("read back as written, but not recorded as verified (%1); its "
                             "numbers stay reserved")
                  .arg(failure);
    }
    emit deviceDone(DeviceReport{name(), outcome, before_.serialNumber, before_.mac,
                                 target_.serialNumber, target_.mac, target_.ipAddress, why,
                                 session_.lastEnd().outcome});
    settled_.reset();
    if (outcome == DeviceReport::Outcome::AlreadyProvisioned ||
        outcome == DeviceReport::Outcome::Verified) {
        settled_ = Identity{target_.serialNumber, target_.mac};
    }
    emitEvent(EventOf(outcome), why);
    if (!failure.isEmpty() && (!setup_.watch || interrupted_)) {
        stop(failure);
    } else if (setup_.watch && !interrupted_) {
        phase_ = Phase::Watching;
        awaitPoll();
    } else {
        finish();
    }
}

void PortProvisioner::noDevice()
{
    if (session_.lastEnd().outcome == ExchangeOutcome::PortError) {
        enterStep(Step::Unavailable, session_.failure());
    } else {
        enterStep(Step::Waiting);
    }
}

void PortProvisioner::enterStep(Step step, const QString &detail)
{
    if (step_ == step && stepDetail_ == detail) {
        return;
    }
    step_ = step;
    stepDetail_ = detail;
    emit stepChanged(step, detail);
}

void PortProvisioner::ledgerFailed(const QString &error)
{
    if (!setup_.watch || interrupted_) {
        stop(error);
        return;
    }
    // Watching, the station outlasts a ledger that is locked too long or a database server
    // that is down: this device fails, with nothing written that the ledger does not hold,
    // and the next one is tried once the ledger answers again.
    report(DeviceReport::Outcome::Failed, error, {});
}

void PortProvisioner::stop(const QString &reason)
{
    emit portStopped(name(), reason);
    finish();
}

void PortProvisioner::finish()
{
    session_.release();
    phase_ = Phase::Finished;
    emit finished();
}

} // namespace quillon
