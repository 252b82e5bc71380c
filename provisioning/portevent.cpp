#include "provisioning/portevent.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>

namespace quillon {

QString PortEventName(PortEvent::Kind kind)
{
    switch (kind) {
    case PortEvent::Kind::Waiting:
        return QStringLiteral("waiting");
    case PortEvent::Kind::CannotOpen:
        return QStringLiteral("cannot open");
    case PortEvent::Kind::Found:
        return QStringLiteral("found");
    case PortEvent::Kind::Allocated:
        return QStringLiteral("allocated");
    case PortEvent::Kind::Written:
        return QStringLiteral("written");
    case PortEvent::Kind::Verified:
        return QStringLiteral("verified");
    case PortEvent::Kind::Failed:
        return QStringLiteral("failed");
    case PortEvent::Kind::AlreadyProvisioned:
        return QStringLiteral("already provisioned");
    case PortEvent::Kind::NumberedElsewhere:
        return QStringLiteral("numbered elsewhere");
    case PortEvent::Kind::Removed:
        return QStringLiteral("removed");
    case PortEvent::Kind::HookFailed:
        break;
    }
    return QStringLiteral("hook failed");
}

bool CarriesIdentity(PortEvent::Kind kind)
{
    return kind != PortEvent::Kind::Waiting && kind != PortEvent::Kind::CannotOpen &&
           kind != PortEvent::Kind::Failed;
}

bool CarriesIp(PortEvent::Kind kind)
{
    return kind == PortEvent::Kind::Allocated || kind == PortEvent::Kind::Written ||
           kind == PortEvent::Kind::Verified || kind == PortEvent::Kind::HookFailed;
}

QString TimeStampText(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           QStringLiteral("%1%2:%3")
               .arg(offset < 0 ? QLatin1Char('-') : QLatin1Char('+'))
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QByteArray PortEventJson(const PortEvent &event)
{
    QJsonObject line{{QStringLiteral("time"), TimeStampText(event.time)},
                     {QStringLiteral("port"), event.port},
                     {QStringLiteral("event"), PortEventName(event.kind)}};
    if (CarriesIdentity(event.kind)) {
        line.insert(QStringLiteral("serial"), qint64(event.serial));
        line.insert(QStringLiteral("mac"), MacText(event.mac));
    }
    if (CarriesIp(event.kind)) {
        line.insert(QStringLiteral("ip"), AddressText(event.ip));
    }
    if (!event.reason.isEmpty()) {
        line.insert(QStringLiteral("reason"), event.reason);
    }
    return QJsonDocument(line).toJson(QJsonDocument::Compact);
}

} // namespace quillon
