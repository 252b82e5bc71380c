#pragma once

#include <QColor>

namespace quillon {

// Colours are kept as 24-bit values with red in the lowest byte; this is the one conversion.
QColor ColorFromValue(int value);

} // namespace quillon
