#include "exchange.h"

#include "portadvice.h"

namespace quillon {

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

// Switching a disabled timer on starts a full interval; an enabled one keeps running.
void Enable(QTimer &timer)
{
    if (!timer.isActive()) {
        timer.start();
    }
}

} // namespace

QString PortErrorLine(const OpenFailure &failure, const QString &port)
{
    return QStringLiteral("Port error: ") + OpenFailureText(failure, port);
}

Exchange::Exchange(WindowInterface &window, PortMap portMap, QObject *parent)
    : QObject(parent), window_(window), comm_(std::move(portMap))
{
    // Coarse timers may fire up to 5 % early; these intervals are promises to the operator.
    timer1_.setTimerType(Qt::PreciseTimer);
    timer3_.setTimerType(Qt::PreciseTimer);
    timer1_.setInterval(kReplyTimeoutMs);
    timer3_.setInterval(kProgressTickMs);
    connect(&timer1_, &QTimer::timeout, this, &Exchange::Timer1_Timer);
    connect(&timer3_, &QTimer::timeout, this, &Exchange::Timer3_Timer);
    connect(&comm_, &MSComm::OnComm, this, &Exchange::MSComm1_OnComm);
}

QList<PortEntry> Exchange::Form_Load()
{
    QList<PortEntry> entries;
    const PortMap &map = comm_.portMap();
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        comm_.setCommPort(n);
        comm_.setPortOpen(true);
        if (comm_.portOpen()) {
            entries.append({PortMap::comName(n), map.tooltip(n)});
            comm_.setPortOpen(false);
        }
    }
    parser_.Reset();
    exchange_no_ = 0;
    return entries;
}

void Exchange::EnterBusy(Variant variant)
{
    busy_ = true;
    window_.setBusyPointer(true);
    ++exchange_no_;
    window_.setStatusColor(kLogGreen);
    window_.setButtonEnabled(CommandButton::read_setup, false);
    window_.setButtonEnabled(CommandButton::write_setup, false);
    if (variant == Variant::Format) {
        window_.setFormatCaption(QString::fromLatin1(kAbortCaption));
    } else {
        window_.setButtonEnabled(CommandButton::button_format_flash, false);
    }
    window_.setStatusText(QString());
    window_.repaintStatus();
}

bool Exchange::OpenCom()
{
    const QString text = window_.portText();
    int number = 0;
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        if (text == PortMap::comName(n)) {
            number = n;
        }
    }
    window_.setStatusText(QStringLiteral("OpenCom: ") + text + kLineEnd);
    window_.repaintStatus();
    // A text that names no port must never reach the port of an earlier exchange.
    if (number == 0) {
        FailOpen(QStringLiteral("Port error: no port named \"%1\" (COM1 to COM20)").arg(text));
        return false;
    }
    comm_.setCommPort(number);
    comm_.setSettings(QString::fromLatin1(kLineSettings));
    if (!comm_.setPortOpen(true)) {
        FailOpen(PortErrorLine(comm_.openFailure(), comm_.portMap().describe(number)));
        return false;
    }
    parser_.Reset();
    return true;
}

void Exchange::FailOpen(const QString &reason)
{
    StopTimers();
    window_.setStatusColor(kLogRed);
    AppendStatus(reason + kLineEnd);
    window_.repaintStatus();
    LeaveBusy(false);
}

void Exchange::AppendStatus(const QString &text)
{
    window_.setStatusText(window_.statusText() + text);
}

void Exchange::CloseCom()
{
    comm_.setPortOpen(false);
    parser_.Reset();
    AppendStatus(QStringLiteral("CloseCom: ") + window_.portText() + kLineEnd);
    window_.repaintStatus();
}

void Exchange::LeaveBusy(bool enable_format)
{
    window_.setBusyPointer(false);
    window_.setButtonEnabled(CommandButton::read_setup, true);
    window_.setButtonEnabled(CommandButton::write_setup, true);
    if (enable_format) {
        window_.setButtonEnabled(CommandButton::button_format_flash, true);
    }
    window_.setFormatCaption(QString::fromLatin1(kFormatCaption));
    busy_ = false;
}

void Exchange::Output(const Bytes &frame)
{
    // A late reply to an earlier exchange may have trickled in since the open.
    comm_.DiscardInput();
    for (std::uint8_t b : frame) {
        comm_.Output(QByteArray(1, static_cast<char>(b)));
    }
    // The window's deferred layout and painting would otherwise run before the request leaves;
    // sent now, the device is answering meanwhile.
    comm_.Flush();
}

void Exchange::ArmReplyTimeout()
{
    timer1_.setInterval(kReplyTimeoutMs);
    timer1_.start();
}

void Exchange::StartProgress()
{
    window_.setProgressValue(0);
    Enable(timer3_);
}

void Exchange::Abort()
{
    // Stopping both timers also stops a reply timeout that a full bar has just armed, so the
    // exchange cannot end a second time.
    EndWithoutReply(QStringLiteral("Aborted"));
}

void Exchange::Timer1_Timer()
{
    if (!busy_) {
        timer1_.stop();
        return;
    }
    parser_.Reset();
    EndWithoutReply(QStringLiteral("Timeout"));
}

void Exchange::EndWithoutReply(const QString &outcome)
{
    StopTimers();
    window_.setStatusColor(kLogRed);
    AppendStatus(outcome + kLineEnd);
    CloseCom();
    LeaveBusy(false);
}

void Exchange::Timer3_Timer()
{
    if (!busy_) {
        timer3_.stop();
        return;
    }
    const double value = window_.progressValue();
    if (value < window_.progressMaximum()) {
        window_.setProgressValue(value + 1);
    } else {
        timer1_.setInterval(kFullBarReplyTimeoutMs);
        Enable(timer1_);
    }
}

void Exchange::MSComm1_OnComm()
{
    if (comm_.CommEvent() != kComEvReceive) {
        return;
    }
    const QByteArray input = comm_.Input();
    if (input.isEmpty()) {
        return;
    }
    const ReplyStep step = parser_.ParseReplyByte(static_cast<std::uint8_t>(input.at(0)));
    if (step.box) {
        window_.setBoxText(*step.box, QString::fromStdString(step.text));
    }
    if (step.outcome != ReplyOutcome::None) {
        EndWithReply(step.outcome);
    }
}

void Exchange::EndWithReply(ReplyOutcome outcome)
{
    StopTimers();
    window_.setProgressValue(0);
    window_.setFormatCaption(QString::fromLatin1(kFormatCaption));
    const bool ok = outcome == ReplyOutcome::Ok;
    if (!ok) {
        window_.setStatusColor(kLogRed);
    }
    AppendStatus((ok ? QStringLiteral("OK") : QStringLiteral("Checksum error")) + kLineEnd);
    CloseCom();
    LeaveBusy(true);
}

void Exchange::StopTimers()
{
    timer1_.stop();
    timer3_.stop();
}

} // namespace quillon
