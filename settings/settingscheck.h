#pragma once

#include "protocol/factorydefaults.h"
#include "settings/values.h"

#include <QString>

namespace quillon {

// The factory identity, the serial number and MAC that every fresh unit shares.
bool IsFactoryIdentity(quint32 serial, const MacAddress &mac);

// Why a MAC cannot be a unit's own: multicast or all zero. Empty when it can.
QString MacProblem(const MacAddress &mac);

// Why the five addresses cannot work on a network, naming the field first ("gateway 10.0.1.1
// is outside the subnet ..."); empty when they can. The mask must be contiguous, the IP a host
// address of its own subnet, a gateway other than 0.0.0.0 in that subnet, and DNS servers
// unicast or 0.0.0.0.
QString NetworkProblem(const DeviceSettings &settings);

// Why `ip` is no host address of the subnet `mask` makes: its network or broadcast address,
// multicast, 0.0.0.0 or 255.255.255.255. Empty when it is one.
QString HostAddressProblem(quint32 ip, quint32 mask);

} // namespace quillon
