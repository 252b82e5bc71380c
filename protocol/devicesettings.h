#pragma once

#include <array>
#include <cstdint>
#include <type_traits>

namespace quillon {

using Address = std::array<std::uint8_t, 4>;

// The device settings as numbers; the setup record is their wire form.
struct DeviceSettings
{
    std::uint32_t serialNumber = 0;
    std::array<std::uint8_t, 6> mac{};
    Address ipAddress{};
    Address subnetMask{};
    Address defaultGateway{};
    Address primaryDns{};
    Address secondaryDns{};

    bool operator==(const DeviceSettings &) const = default;
};

// The five addresses in wire order, writable when the settings are.
template <typename Settings> constexpr auto Addresses(Settings &s)
{
    static_assert(std::is_same_v<std::remove_const_t<Settings>, DeviceSettings>);
    return std::array{&s.ipAddress, &s.subnetMask, &s.defaultGateway, &s.primaryDns,
                      &s.secondaryDns};
}

// The largest serial number a write may carry: the device keeps it as a signed number, though it
// may report any 32-bit one.
inline constexpr std::uint32_t kMaxSerialNumber = 2147483647;

constexpr bool IsWritable(const DeviceSettings &settings)
{
    return settings.serialNumber <= kMaxSerialNumber;
}

inline constexpr int kSetupRecordSize = 100;
inline constexpr int kReservedBytes = 70;

} // namespace quillon
