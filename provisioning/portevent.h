#pragma once

#include "settings/values.h"

#include <QDateTime>
#include <QString>

namespace quillon {

// One change of a port's state during provisioning, as data: each front end words and stores
// it in its own way. Which fields are set depends on the kind.
struct PortEvent
{
    enum class Kind {
        Waiting,            // no device answers; reason: the exchange's outcome
        CannotOpen,         // the port cannot be opened; reason: why; tried again with --watch
        Found,              // a new device: serial, mac as it reads
        Allocated,          // its numbers: serial, mac, ip
        Written,            // the device took them: serial, mac, ip
        Verified,           // read back as written: serial, mac, ip
        Failed,             // reason
        AlreadyProvisioned, // serial, mac, verified in this ledger
        NumberedElsewhere,  // serial, mac, neither fresh nor in this ledger
        Removed,            // the device stopped answering: serial, mac it showed
        HookFailed,         // the on-verified command failed: serial, mac, ip, reason
    };

    QDateTime time;
    QString port;
    Kind kind = Kind::Waiting;
    quint32 serial = 0;
    MacAddress mac{};
    Address ip{};
    QString reason;
};

// "waiting", "cannot open", "found", ... "hook failed": the event's name in text and JSON.
QString PortEventName(PortEvent::Kind kind);
// Whether the event tells a device's serial number and MAC, and its IP address.
bool CarriesIdentity(PortEvent::Kind kind);
bool CarriesIp(PortEvent::Kind kind);

// Local time with its offset, so that a station's lines sort and read the same anywhere:
// "2026-12-07T08:15:02.125+01:00".
QString TimeStampText(const QDateTime &time);
// The event as one compact JSON object: time, port, event and the fields it carries.
QByteArray PortEventJson(const PortEvent &event);

} // namespace quillon
