#include "settings/settingscheck.h"

#include "protocol/factorydefaults.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr quint32 kMulticastMask = 0xF0000000u;
constexpr quint32 kMulticastPrefix = 0xE0000000u; // 224.0.0.0/4
constexpr quint32 kBroadcast = 0xFFFFFFFFu;

bool IsMulticast(quint32 address)
{
    return (address & kMulticastMask) == kMulticastPrefix;
}

bool IsContiguous(quint32 mask)
{
    // Ones from the top, then zeros: the inverse plus one is a power of two.
    const quint32 hosts = ~mask;
    return (hosts & (hosts + 1)) == 0;
}

} // namespace

bool IsFactoryIdentity(quint32 serial, const MacAddress &mac)
{
    static const DeviceSettings factory = FactorySettings();
    return serial == factory.serialNumber && mac == factory.mac;
}

QString MacProblem(const MacAddress &mac)
{
    const quint64 number = MacNumber(mac);
    if (number == 0) {
        return QStringLiteral("mac %1 is all zero").arg(MacText(mac));
    }
    if ((number & kMacMulticastBit) != 0) {
        return QStringLiteral("mac %1 is a multicast address (the lowest bit of the first byte "
                              "set); a unit needs a unicast one")
            .arg(MacText(mac));
    }
    return {};
}

QString HostAddressProblem(quint32 ip, quint32 mask)
{
    const QString text = AddressText(AddressFromNumber(ip));
    if (ip == 0 || ip == kBroadcast || IsMulticast(ip)) {
        return QStringLiteral("%1 is no host address").arg(text);
    }
    // A /31 or /32 has no network or broadcast address to avoid.
    if (~mask > 1) {
        if ((ip & ~mask) == 0) {
            return QStringLiteral("%1 is the network address of its subnet").arg(text);
        }
        if ((ip & ~mask) == ~mask) {
            return QStringLiteral("%1 is the broadcast address of its subnet").arg(text);
        }
    }
    return {};
}

QString NetworkProblem(const DeviceSettings &settings)
{
    const quint32 mask = AddressNumber(settings.subnetMask);
    if (!IsContiguous(mask)) {
        return QStringLiteral("mask %1 is not contiguous (ones, then zeros)")
            .arg(AddressText(settings.subnetMask));
    }
    const quint32 ip = AddressNumber(settings.ipAddress);
    if (const QString problem = HostAddressProblem(ip, mask); !problem.isEmpty()) {
        return QStringLiteral("ip ") + problem;
    }
    const quint32 gateway = AddressNumber(settings.defaultGateway);
    if (gateway != 0 && ((gateway & mask) != (ip & mask) ||
                         !HostAddressProblem(gateway, mask).isEmpty() || gateway == ip)) {
        return QStringLiteral("gateway %1 is no other host of the subnet of %2/%3")
            .arg(AddressText(settings.defaultGateway), AddressText(settings.ipAddress),
                 AddressText(settings.subnetMask));
    }
    const std::pair<const char *, Address> servers[] = {{"dns1", settings.primaryDns},
                                                        {"dns2", settings.secondaryDns}};
    for (const auto &[name, server] : servers) {
        const quint32 number = AddressNumber(server);
        if (number == kBroadcast || IsMulticast(number)) {
            return QStringLiteral("%1 %2 is not a unicast address (or 0.0.0.0 for none)")
                .arg(QLatin1String(name), AddressText(server));
        }
    }
    return {};
}

} // namespace quillon
