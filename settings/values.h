#pragma once

#include "protocol/devicesettings.h"

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <optional>

namespace quillon {

using MacAddress = std::array<std::uint8_t, 6>;

inline constexpr quint64 kMacMulticastBit = quint64{1} << 40;

// The command line's value forms. Only ASCII digits count, whatever the locale, so a script's
// value reads the same under every LANG.

// Decimal digits, 0 to 2147483647. Leading zeros are allowed: a serial number is never octal.
std::optional<quint32> ParseSerialNumber(QStringView text);

// Six bytes of two hex digits each, either case, all joined by ':' or all by '-'.
std::optional<MacAddress> ParseMacAddress(QStringView text);

// Four decimal octets 0 to 255 joined by dots. An octet with a leading zero ("010") is refused:
// other tools read it as octal, so its meaning would depend on who reads it.
std::optional<Address> ParseAddress(QStringView text);

// "00:1A:2B:3C:4D:5E"
QString MacText(const MacAddress &mac);
// "192.168.0.100"
QString AddressText(const Address &address);

// The MAC as a 48-bit number, the first byte most significant, so ranges count up the last byte.
quint64 MacNumber(const MacAddress &mac);
MacAddress MacFromNumber(quint64 number);
quint32 AddressNumber(const Address &address);
Address AddressFromNumber(quint32 number);

} // namespace quillon
