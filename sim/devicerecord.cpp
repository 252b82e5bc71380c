#include "sim/devicerecord.h"

#include <algorithm>
#include <cstdint>

namespace quillon {

Bytes ReadReply(const DeviceSettings &settings, const Bytes &reserved)
{
    Bytes record = SetupRecord(settings);
    std::copy(reserved.begin(), reserved.end(), record.begin() + kRecordFieldBytes);
    Bytes reply = BuildFrame(kReadLetter, record);
    // Whatever the reserved bytes hold, only the checksum of the fields alone reads as good.
    std::uint32_t sum = static_cast<std::uint8_t>(kReadLetter) + kSetupRecordSize;
    for (std::size_t i = 0; i < kRecordFieldBytes; ++i) {
        sum += record[i];
    }
    reply[reply.size() - 2] = static_cast<std::uint8_t>(sum % 256);
    return reply;
}

DeviceSettings SettingsFromRecord(const Bytes &record)
{
    DeviceSettings settings;
    auto next = record.begin();
    std::uint32_t serial = 0;
    for (int i = 0; i < 4; ++i) {
        serial = serial << 8 | *next++;
    }
    settings.serialNumber = serial;
    std::copy_n(next, settings.mac.size(), settings.mac.begin());
    next += static_cast<std::ptrdiff_t>(settings.mac.size());
    for (Address *address : Addresses(settings)) {
        std::copy_n(next, address->size(), address->begin());
        next += static_cast<std::ptrdiff_t>(address->size());
    }
    return settings;
}

} // namespace quillon
