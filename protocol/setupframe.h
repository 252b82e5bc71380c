#pragma once

#include "devicesettings.h"
#include "settingsboxes.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillon {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::uint8_t kStartByte = 2;
inline constexpr std::uint8_t kEndByte = 3;
inline constexpr char kReadLetter = 'R';
inline constexpr char kWriteLetter = 'W';
inline constexpr char kFormatLetter = 'F';
inline constexpr int kSetupFrameSize = 105;

// (letter + payload length + sum of payload bytes) modulo 256.
std::uint8_t FrameChecksum(char letter, const Bytes &payload);

// Start byte, letter, length, payload, checksum, end byte. The payload holds at most 255 bytes.
Bytes BuildFrame(char letter, const Bytes &payload = {});

// The 100-byte record; the reserved bytes are always 0.
Bytes SetupRecord(const DeviceSettings &settings);

// The 105-byte "W" request.
Bytes BuildSetupFrame(const DeviceSettings &settings);

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

// Converts the 27 box texts in wire order. No value is ever clamped or wrapped.
SettingsFromTextsResult SettingsFromTexts(const BoxTexts<std::string> &texts);

// The box texts that show these settings, as a read reply fills them.
BoxTexts<std::string> TextsFromSettings(const DeviceSettings &settings);

// Box text forms shared by the reply parser and the settings conversion.
std::string DecimalText(std::uint32_t value);
std::string HexByteText(std::uint8_t value);

} // namespace quillon
