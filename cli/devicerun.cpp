#include "cli/devicerun.h"

#include "cli/ctlcontext.h"
#include "link/exchange.h"
#include "session/devicesession.h"

#include <QEventLoop>

namespace quillon {

namespace {

QString DurationText(int ms)
{
    return ms < 1000 ? QStringLiteral("%1 ms").arg(ms)
                     : QStringLiteral("%1 s").arg((ms + 500) / 1000);
}

} // namespace

DeviceRun::DeviceRun(const PortArgument &port, CtlContext &context)
    : port_(port), context_(context),
      session_(std::make_unique<DeviceSession>(port, context.options().timing))
{
    if (context_.options().errIsTerminal) {
        QObject::connect(session_.get(), &DeviceSession::progress, session_.get(),
                         [this](int value, int maximum) { showProgress(value, maximum); });
    }
}

DeviceRun::~DeviceRun() = default;

std::optional<DeviceSettings> DeviceRun::read()
{
    if (!run([](DeviceSession &session) { session.read(); })) {
        return std::nullopt;
    }
    std::optional<DeviceSettings> settings = session_->settings();
    if (!settings) {
        // A frame that passed the checksum but carried no setup record.
        status_ = kExitDeviceFailed;
        failure_ = QStringLiteral("the reply from %1 carried no settings").arg(port_.argument);
    }
    return settings;
}

bool DeviceRun::write(const DeviceSettings &settings)
{
    return run([&settings](DeviceSession &session) { session.write(settings); });
}

bool DeviceRun::format()
{
    const bool ok = run([](DeviceSession &session) { session.format(); });
    clearProgress();
    return ok;
}

int DeviceRun::report(const QString &what) const
{
    if (status_ == kExitPortUnavailable) {
        return context_.fail(failure_, status_);
    }
    return context_.fail(QStringLiteral("%1: %2").arg(what, failure_), status_);
}

bool DeviceRun::run(const std::function<void(DeviceSession &)> &start)
{
    requestSent_ = false;
    if (!session_ || status_ != kExitOk) {
        return false;
    }
    if (InterruptSignal::raised()) {
        status_ = InterruptSignal::exitStatus();
        failure_ = QStringLiteral("interrupted");
        return false;
    }
    QEventLoop loop;
    bool ended = false;
    bool interrupted = false;
    const QMetaObject::Connection onEnd =
        QObject::connect(session_.get(), &DeviceSession::finished, &loop, [&] {
            ended = true;
            loop.quit();
        });
    const QMetaObject::Connection onInterrupt =
        QObject::connect(&interrupt_, &InterruptSignal::interrupted, &loop, [&] {
            interrupted = true;
            // A format ends "Aborted" through the engine; a read or a write has no abort of
            // its own, so the loop stops and the session, with its port, goes below.
            session_->abort();
            loop.quit();
        });
    start(*session_);
    requestSent_ = !ended || session_->lastEnd().outcome != ExchangeOutcome::PortError;
    // A port that fails to open ends the exchange before start() returns.
    if (!ended) {
        loop.exec();
    }
    QObject::disconnect(onEnd);
    QObject::disconnect(onInterrupt);

    if (interrupted || (ended && session_->lastEnd().outcome == ExchangeOutcome::Aborted)) {
        session_.reset();
        status_ = InterruptSignal::exitStatus();
        failure_ = QStringLiteral("interrupted");
        return false;
    }
    if (session_->lastEnd().outcome != ExchangeOutcome::Ok) {
        fail(session_->lastEnd());
        return false;
    }
    return true;
}

void DeviceRun::fail(const ExchangeEnd &end)
{
    const ExchangeTiming &timing = context_.options().timing;
    const QString &port = port_.argument;
    status_ = kExitDeviceFailed;
    switch (end.outcome) {
    case ExchangeOutcome::Ok:
    case ExchangeOutcome::Aborted:
        break;
    case ExchangeOutcome::PortError:
        status_ = kExitPortUnavailable;
        failure_ = PortErrorLine(end.openFailure, end.port);
        break;
    case ExchangeOutcome::ChecksumError:
        failure_ = QStringLiteral("Checksum error in the reply from %1").arg(port);
        break;
    case ExchangeOutcome::Timeout: {
        // A format waits for the tick after the bar is full, then the last short limit.
        const int limit =
            end.exchange == ExchangeState::Formatting
                ? (timing.progressSteps + 1) * timing.progressTickMs + timing.fullBarTimeoutMs
                : timing.replyTimeoutMs;
        failure_ = QStringLiteral("Timeout: no complete reply from %1 within %2")
                       .arg(port, DurationText(limit));
        break;
    }
    }
}

void DeviceRun::showProgress(int value, int maximum)
{
    const QString line =
        QStringLiteral("Formatting flash on %1: %2/%3").arg(port_.argument).arg(value).arg(maximum);
    context_.err() << '\r' << line.leftJustified(progressWidth_) << Qt::flush;
    progressWidth_ = line.size();
}

void DeviceRun::clearProgress()
{
    if (progressWidth_ > 0) {
        context_.err() << '\r' << QString(progressWidth_, QLatin1Char(' ')) << '\r' << Qt::flush;
        progressWidth_ = 0;
    }
}

} // namespace quillon
