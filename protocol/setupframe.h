#pragma once

#include "protocol/devicesettings.h"

#include <cstdint>
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

} // namespace quillon
