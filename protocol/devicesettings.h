#pragma once

#include <array>
#include <cstdint>

namespace quillon {

using Address = std::array<std::uint8_t, 4>;

// The device settings as numbers; the setup record is their wire form.
struct DeviceSettings
{
    std::int32_t serialNumber = 0; // 0 to 2147483647
    std::array<std::uint8_t, 6> mac{};
    Address ipAddress{};
    Address subnetMask{};
    Address defaultGateway{};
    Address primaryDns{};
    Address secondaryDns{};

    bool operator==(const DeviceSettings &) const = default;
};

inline constexpr int kSetupRecordSize = 100;
inline constexpr int kReservedBytes = 70;

} // namespace quillon
