#pragma once

#include "protocol/devicesettings.h"
#include "protocol/settingsboxes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

enum class SettingsFault {
    NoValue,    // empty, or not a plain number in the box's form
    OutOfRange, // a number, but too large for its field
};

struct SettingsFromTextsResult
{
    std::optional<DeviceSettings> settings;
    // When there are no settings: the first box in wire order without a valid value, and why.
    Box box = Box::serialno;
    SettingsFault fault = SettingsFault::NoValue;
};

// Converts the 27 box texts in wire order. No value is ever clamped or wrapped; a serial number
// may be any 32-bit one, which IsWritable() then judges.
SettingsFromTextsResult SettingsFromTexts(const BoxTexts<std::string> &texts);

// The box texts that show these settings, as a read reply fills them.
BoxTexts<std::string> TextsFromSettings(const DeviceSettings &settings);

// One or more plain decimal digits, nullopt for anything else. Counting stops once the value
// passes `limit`, so no number of digits can wrap: a value above it is only known to be above.
std::optional<std::uint64_t> DecimalValue(std::string_view text, std::uint32_t limit);
// The value of one hexadecimal digit, either case; -1 for any other character.
int HexDigitValue(char c);

// Box text forms shared by the reply parser and the settings conversion.
std::string DecimalText(std::uint32_t value);
std::string HexByteText(std::uint8_t value);

} // namespace quillon
