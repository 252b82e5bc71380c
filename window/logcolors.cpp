#include "window/logcolors.h"

#include "window/colorvalue.h"

#include <QPalette>

#include <algorithm>
#include <cmath>

namespace quillon {

namespace {

// Below this HSL lightness of the window colour the desktop is dark.
constexpr int kDarkLightness = 128;

double LinearChannel(double value)
{
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double RelativeLuminance(const QColor &color)
{
    return 0.2126 * LinearChannel(color.redF()) + 0.7152 * LinearChannel(color.greenF()) +
           0.0722 * LinearChannel(color.blueF());
}

int TowardWhite(int channel, int step)
{
    return channel + (255 - channel) * step / 255;
}

} // namespace

double Contrast(const QColor &a, const QColor &b)
{
    const double first = RelativeLuminance(a);
    const double second = RelativeLuminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor LogColor(LogState state, const QPalette &palette)
{
    const QColor design = ColorFromValue(state == LogState::Failed ? kLogRed : kLogGreen);
    const QColor window = palette.color(QPalette::Window);
    if (window.lightness() >= kDarkLightness) {
        return design;
    }
    // The least lightening that is readable keeps the most of the hue the operator knows.
    for (int step = 0; step <= 255; ++step) {
        const QColor tint(TowardWhite(design.red(), step), TowardWhite(design.green(), step),
                          TowardWhite(design.blue(), step));
        if (Contrast(tint, window) >= kReadableContrast) {
            return tint;
        }
    }
    // On a mid grey no lighter colour reaches the target; white comes closest.
    return QColor(Qt::white);
}

} // namespace quillon
