#include "session/devicesession.h"

#include <QRegularExpression>

#include <string>

namespace quillon {

namespace {

// Paths open as given; a COM name is mapped to the session's path, so the log and a port
// error name the port as the window does ("COM3 (/dev/ttyUSB0)").
PortMap SessionMap(const QString &path, const QString &name)
{
    PortMap map;
    map.setAcceptsPaths(true);
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        if (name == PortMap::comName(n)) {
            map.setPort(n, HostPort{path, {}, {}, {}, {}});
        }
    }
    return map;
}

QString SessionPortName(const QString &path, const QString &name)
{
    const std::optional<PortTarget> target = SessionMap(path, name).resolve(name);
    return target && target->systemLocation == path ? name : path;
}

QString OutcomeText(const ExchangeEnd &end)
{
    switch (end.outcome) {
    case ExchangeOutcome::Ok:
        return {};
    case ExchangeOutcome::ChecksumError:
        return QStringLiteral("Checksum error");
    case ExchangeOutcome::Timeout:
        return QStringLiteral("Timeout");
    case ExchangeOutcome::Aborted:
        return QStringLiteral("Aborted");
    case ExchangeOutcome::PortError:
        break;
    }
    QString reason = end.reason;
    reason.remove(QRegularExpression(QStringLiteral("^Port error: ")));
    return reason;
}

} // namespace

DeviceSession::DeviceSession(const QString &path, const QString &name, ExchangeTiming timing,
                             QObject *parent)
    : QObject(parent), path_(path), name_(name), portName_(SessionPortName(path, name)),
      exchange_(*this, SessionMap(path, name), timing)
{
    connect(&exchange_, &Exchange::ended, this, &DeviceSession::onEnded);
}

bool DeviceSession::read()
{
    if (exchange_.busy()) {
        return false;
    }
    // Boxes a short reply leaves untouched must not pass for this device's values.
    boxes_.fill(QString());
    readOk_ = false;
    exchange_.StartRead();
    return true;
}

bool DeviceSession::write(const DeviceSettings &settings)
{
    if (exchange_.busy()) {
        return false;
    }
    exchange_.StartWrite(settings);
    return true;
}

bool DeviceSession::format()
{
    if (exchange_.busy()) {
        return false;
    }
    exchange_.StartFormat();
    return true;
}

void DeviceSession::abort()
{
    exchange_.Abort();
}

std::optional<CtlSettings> DeviceSession::settings() const
{
    if (!readOk_) {
        return std::nullopt;
    }
    BoxTexts<std::string> texts;
    for (int i = 0; i < kBoxCount; ++i) {
        texts[i] = boxes_[i].toStdString();
    }
    return CtlSettings::fromBoxTexts(texts);
}

QString DeviceSession::failure() const
{
    return OutcomeText(end_);
}

void DeviceSession::onEnded(const ExchangeEnd &end)
{
    end_ = end;
    readOk_ = end.exchange == ExchangeState::Reading && end.outcome == ExchangeOutcome::Ok;
    emit finished(end);
}

} // namespace quillon
