#pragma once

#include "link/frontend.h"

#include <QColor>

class QPalette;

namespace quillon {

// What text needs against its background to be read with ease (WCAG's 4.5:1).
inline constexpr double kReadableContrast = 4.5;

// The contrast ratio of two colours, from 1 (the same) to 21 (black on white).
double Contrast(const QColor &a, const QColor &b);

// The status log's text colour: green while an exchange runs and after success, red after a
// failure. On a light window these are the design's colours exactly; on a dark one they are
// lightened until they read as well as body text should (a contrast of 4.5:1).
QColor LogColor(LogState state, const QPalette &palette);

} // namespace quillon
