#pragma once

#include "protocol/devicesettings.h"
#include "protocol/setupframe.h"

#include <cstddef>

namespace quillon {

// The setup record's fields before its reserved bytes.
inline constexpr std::size_t kRecordFieldBytes = kSetupRecordSize - kReservedBytes;

// The 105-byte answer to "R": the record with the stored reserved bytes, and the checksum the
// tool expects, which leaves the reserved bytes out.
Bytes ReadReply(const DeviceSettings &settings, const Bytes &reserved);

// The settings in a 100-byte record received with "W".
DeviceSettings SettingsFromRecord(const Bytes &record);

} // namespace quillon
