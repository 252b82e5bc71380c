#include "link/exchange.h"

#include "link/portadvice.h"
#include "link/portprobe.h"
#include "protocol/settingstexts.h"

namespace quillon {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");
const QString kLabelEnd = QStringLiteral("): -> ");

// Switching a disabled timer on starts a full interval; an enabled one keeps running.
void Enable(QTimer &timer)
{
    if (!timer.isActive()) {
        timer.start();
    }
}

// The log's command label.
QString Label(ExchangeState kind)
{
    switch (kind) {
    case ExchangeState::Idle:
        break;
    case ExchangeState::Reading:
        return QStringLiteral("Reading Setup (");
    case ExchangeState::Writing:
        return QStringLiteral("Writing Setup (");
    case ExchangeState::Formatting:
        return QStringLiteral("Formatting Flash (");
    }
    return {};
}

} // namespace

QString OutcomeText(ExchangeOutcome outcome)
{
    switch (outcome) {
    case ExchangeOutcome::Ok:
        return QStringLiteral("OK");
    case ExchangeOutcome::ChecksumError:
        return QStringLiteral("Checksum error");
    case ExchangeOutcome::Timeout:
        return QStringLiteral("Timeout");
    case ExchangeOutcome::Aborted:
        return QStringLiteral("Aborted");
    case ExchangeOutcome::PortError:
        break;
    }
    return QStringLiteral("Port error");
}

QString PortErrorLine(const OpenFailure &failure, const QString &port)
{
    return QStringLiteral("Port error: ") + OpenFailureText(failure, port);
}

Exchange::Exchange(FrontEnd &frontEnd, PortMap portMap, ExchangeTiming timing, QObject *parent)
    : QObject(parent), frontEnd_(frontEnd), portMap_(std::move(portMap)), timing_(timing)
{
    comm_.setObjectName(QStringLiteral("MSComm1"));
    timer1_.setObjectName(QStringLiteral("Timer1"));
    timer3_.setObjectName(QStringLiteral("Timer3"));
    // Coarse timers may fire up to 5 % early; these intervals are promises to the operator.
    timer1_.setTimerType(Qt::PreciseTimer);
    timer3_.setTimerType(Qt::PreciseTimer);
    timer1_.setInterval(timing_.replyTimeoutMs);
    timer3_.setInterval(timing_.progressTickMs);
    connect(&timer1_, &QTimer::timeout, this, &Exchange::Timer1_Timer);
    connect(&timer3_, &QTimer::timeout, this, &Exchange::Timer3_Timer);
    connect(&comm_, &MSComm::OnComm, this, &Exchange::MSComm1_OnComm);
}

Exchange::Exchange(FrontEnd &frontEnd, PortTarget port, ExchangeTiming timing, QObject *parent)
    : Exchange(frontEnd, PortMap(), timing, parent)
{
    fixedPort_ = std::move(port);
}

QList<PortEntry> Exchange::Form_Load()
{
    return Form_Load({portMap_, ProbePorts(portMap_)});
}

QList<PortEntry> Exchange::Form_Load(PortScan::Result scan)
{
    portMap_ = std::move(scan.map);
    scan_ = std::move(scan.probes);
    QList<PortEntry> entries;
    for (const PortProbe &probe : scan_) {
        if (probe.opens()) {
            entries.append({PortMap::comName(probe.comNumber), portMap_.tooltip(probe.comNumber)});
        }
    }
    parser_.Reset();
    exchange_no_ = 0;
    return entries;
}

void Exchange::StartRead()
{
    Start(ExchangeState::Reading, BuildFrame(kReadLetter));
}

void Exchange::StartWrite(const DeviceSettings &settings)
{
    Start(ExchangeState::Writing, BuildSetupFrame(settings));
}

void Exchange::StartFormat()
{
    Start(ExchangeState::Formatting, BuildFrame(kFormatLetter));
}

void Exchange::Start(ExchangeState kind, const Bytes &request)
{
    if (busy()) {
        return;
    }
    state_ = kind;
    ++exchange_no_;
    reply_.fill(std::string());
    const QString name = PortName();
    // The port opens and the request leaves before the window changes at all: the device answers
    // while the window shows the busy state and paints the log, and the reply is handled only
    // once this handler has shown every line.
    const std::optional<OpenError> failure = OpenCom(name);
    if (!failure) {
        comm_.DiscardInput();
        comm_.Output(QByteArrayView(request.data(), static_cast<qsizetype>(request.size())));
        // A format has no reply timeout of its own: the full progress bar arms it.
        if (kind != ExchangeState::Formatting) {
            ArmReplyTimeout(timing_.replyTimeoutMs);
        }
    }
    if (kind == ExchangeState::Formatting) {
        SetProgress(0);
        Enable(timer3_);
    }
    EnterBusy(kind);
    ShowOpenCom(name);
    if (failure) {
        FailOpen(*failure);
        return;
    }
    AppendStatus(Label(kind) + QString::number(exchange_no_) + kLabelEnd);
    frontEnd_.repaintLog();
}

void Exchange::EnterBusy(ExchangeState kind)
{
    // A read or a write earns Format Flash again only if the device answers; a format keeps
    // the button, which aborts it meanwhile.
    formatOn_ = kind == ExchangeState::Formatting;
    ShowControls();
    frontEnd_.setLogState(LogState::Running);
    // Painted with the "OpenCom: " line that follows.
    frontEnd_.setLog(QString());
}

void Exchange::ShowOpenCom(const QString &name)
{
    frontEnd_.repaintLog();
    frontEnd_.setLog(QStringLiteral("OpenCom: ") + name + kLineEnd);
    frontEnd_.repaintLog();
}

std::optional<Exchange::OpenError> Exchange::OpenCom(const QString &name)
{
    // A name that selects no port must never reach the port of an earlier exchange.
    const std::optional<PortTarget> target = fixedPort_ ? fixedPort_ : portMap_.resolve(name);
    if (!target) {
        return OpenError{
            QStringLiteral("Port error: no port named \"%1\" (COM1 to COM20)").arg(name),
            OpenFailure{OpenFailure::Kind::DoesNotExist, {}, {}, {}, {}}, name};
    }
    comm_.setCommPort(*target);
    comm_.setSettings(kLineSettings);
    if (!comm_.setPortOpen(true)) {
        const OpenFailure failure = comm_.openFailure();
        return OpenError{PortErrorLine(failure, target->description), failure, target->description};
    }
    parser_.Reset();
    return std::nullopt;
}

void Exchange::AppendStatus(const QString &text)
{
    frontEnd_.appendLog(text);
}

void Exchange::CloseCom(ExchangeOutcome outcome)
{
    // No repaint falls between the outcome and the "CloseCom: " line, so one change of the log
    // carries both and the label lays its text out once.
    AppendStatus(OutcomeText(outcome) + kLineEnd + QStringLiteral("CloseCom: ") + PortName() +
                 kLineEnd);
    // The operator sees the end first; no byte is parsed after the outcome whether or not the
    // port is still open meanwhile.
    frontEnd_.repaintLog();
    if (!keepPortOpen_ || outcome != ExchangeOutcome::Ok) {
        comm_.setPortOpen(false);
    }
    parser_.Reset();
}

void Exchange::ReleasePort()
{
    if (!busy()) {
        comm_.setPortOpen(false);
    }
}

void Exchange::LeaveBusy(bool enable_format)
{
    state_ = ExchangeState::Idle;
    readOn_ = true;
    writeOn_ = true;
    formatOn_ = formatOn_ || enable_format;
    ShowControls();
}

void Exchange::Abort()
{
    if (state_ != ExchangeState::Formatting) {
        return;
    }
    // Stopping both timers also stops a reply timeout that a full bar has just armed, so the
    // exchange cannot end a second time.
    EndWithoutReply(ExchangeOutcome::Aborted);
}

void Exchange::PortChosen(bool serialNumberPresent)
{
    // The running exchange owns the buttons and gives them back when it ends.
    if (busy()) {
        return;
    }
    readOn_ = true;
    writeOn_ = writeOn_ || serialNumberPresent;
    ShowControls();
}

void Exchange::SerialNumberChanged(bool present)
{
    // A serial number arriving in a read reply must not hand the operator a second command.
    if (busy()) {
        return;
    }
    writeOn_ = present;
    ShowControls();
}

void Exchange::Timer1_Timer()
{
    if (!busy()) {
        timer1_.stop();
        return;
    }
    parser_.Reset();
    EndWithoutReply(ExchangeOutcome::Timeout);
}

void Exchange::Timer3_Timer()
{
    if (state_ != ExchangeState::Formatting) {
        timer3_.stop();
        return;
    }
    if (progress_ < timing_.progressSteps) {
        SetProgress(progress_ + 1);
    } else if (!timer1_.isActive()) {
        ArmReplyTimeout(timing_.fullBarTimeoutMs);
    }
}

void Exchange::MSComm1_OnComm(CommEvent event, QByteArrayView received)
{
    // A device that is gone sends nothing more; the exchange ends by its timeout.
    if (event != CommEvent::Receive) {
        return;
    }
    const std::int32_t exchange = exchange_no_;
    for (const char byte : received) {
        // Once an end path has run, the rest belongs to no exchange: not to this one, and not to
        // one that the front end started from its end.
        if (!busy() || exchange_no_ != exchange || !comm_.portOpen()) {
            return;
        }
        const ReplyStep step = parser_.ParseReplyByte(static_cast<std::uint8_t>(byte));
        if (step.box) {
            reply_[BoxIndex(*step.box)] = step.text;
            frontEnd_.setBoxText(*step.box, QString::fromStdString(step.text));
        }
        if (step.outcome != ReplyOutcome::None) {
            EndWithReply(step.outcome);
        }
    }
}

void Exchange::EndWithReply(ReplyOutcome outcome)
{
    StopTimers();
    SetProgress(0);
    const bool ok = outcome == ReplyOutcome::Ok;
    frontEnd_.setLogState(ok ? LogState::Succeeded : LogState::Failed);
    const ExchangeOutcome end = ok ? ExchangeOutcome::Ok : ExchangeOutcome::ChecksumError;
    const ExchangeState exchange = state_;
    std::optional<DeviceSettings> settings;
    if (ok && exchange == ExchangeState::Reading) {
        settings = SettingsFromTexts(reply_).settings;
    }
    CloseCom(end);
    LeaveBusy(true);
    emit ended({exchange, end, {}, {}, settings});
}

void Exchange::EndWithoutReply(ExchangeOutcome outcome)
{
    StopTimers();
    frontEnd_.setLogState(LogState::Failed);
    const ExchangeState exchange = state_;
    CloseCom(outcome);
    LeaveBusy(false);
    emit ended({exchange, outcome, {}, {}, {}});
}

void Exchange::FailOpen(const OpenError &error)
{
    StopTimers();
    frontEnd_.setLogState(LogState::Failed);
    AppendStatus(error.line + kLineEnd);
    frontEnd_.repaintLog();
    const ExchangeState exchange = state_;
    LeaveBusy(false);
    emit ended({exchange, ExchangeOutcome::PortError, error.failure, error.port, {}});
}

QString Exchange::PortName() const
{
    return fixedPort_ ? fixedPort_->description : frontEnd_.portName();
}

void Exchange::StopTimers()
{
    timer1_.stop();
    timer3_.stop();
}

void Exchange::ArmReplyTimeout(int ms)
{
    timer1_.setInterval(ms);
    timer1_.start();
}

void Exchange::SetProgress(int value)
{
    progress_ = value;
    frontEnd_.setProgress(progress_, timing_.progressSteps);
}

void Exchange::ShowControls()
{
    const bool idle = !busy();
    const bool formatting = state_ == ExchangeState::Formatting;
    frontEnd_.showControls(
        {idle && readOn_, idle && writeOn_, formatting || (idle && formatOn_), formatting, !idle});
}

} // namespace quillon
