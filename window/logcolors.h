#pragma once

#include "link/frontend.h"

#include <QColor>

class QPalette;

namespace quillon {

// The status log's text colour: green while an exchange runs and after success, red after a
// failure. On a light window these are the design's colours exactly; on a dark one they are
// lightened until they read as well as body text should (a contrast of 4.5:1).
QColor LogColor(LogState state, const QPalette &palette);

} // namespace quillon
