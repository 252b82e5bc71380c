#include "provisioning/portevent.h"

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

} // namespace quillon
