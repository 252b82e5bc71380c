#pragma once

#include <QColor>

namespace quillon {

// Colours as 24-bit values with red in the lowest byte, then green, then blue.
inline constexpr int kLogGreen = 49152;      // rgb(0, 192, 0)
inline constexpr int kLogRed = 255;          // rgb(255, 0, 0)
inline constexpr int kUnlockGreen = 8454016; // rgb(128, 255, 128)

// This is the one conversion.
QColor ColorFromValue(int value);

} // namespace quillon
