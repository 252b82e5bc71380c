#include "window/colorvalue.h"

namespace quillon {

QColor ColorFromValue(int value)
{
    return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
}

} // namespace quillon
