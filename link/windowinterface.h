#pragma once

#include "settingsboxes.h"

#include <QString>

namespace quillon {

enum class CommandButton { read_setup, write_setup, button_format_flash };

// Colours as 24-bit values with red in the lowest byte, then green, then blue.
inline constexpr int kLogGreen = 49152;      // rgb(0, 192, 0)
inline constexpr int kLogRed = 255;          // rgb(255, 0, 0)
inline constexpr int kUnlockGreen = 8454016; // rgb(128, 255, 128)

// What the exchanges and commands need of the window, and nothing more.
class WindowInterface
{
public:
    virtual ~WindowInterface() = default;

    // The status log.
    virtual QString statusText() const = 0;
    virtual void setStatusText(const QString &text) = 0;
    virtual void setStatusColor(int color) = 0;
    virtual void repaintStatus() = 0;

    virtual void setButtonEnabled(CommandButton button, bool enabled) = 0;
    // The caption this program last set on the format button (never a widget text with a
    // shortcut marker).
    virtual QString formatCaption() const = 0;
    virtual void setFormatCaption(const QString &caption) = 0;

    // Settings boxes. Setting a text also makes it the box's accepted_text.
    virtual QString boxText(Box box) const = 0;
    virtual void setBoxText(Box box, const QString &text) = 0;
    // Moves the keyboard focus to the box when the box is enabled.
    virtual void focusBox(Box box) = 0;

    // The text the port box shows.
    virtual QString portText() const = 0;

    virtual double progressValue() const = 0;
    virtual void setProgressValue(double value) = 0;
    virtual double progressMaximum() const = 0;

    virtual void setBusyPointer(bool busy) = 0;

    // The modal warning before a format; true when the operator chose OK.
    virtual bool confirmFormat() = 0;
};

} // namespace quillon
