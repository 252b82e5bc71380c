#pragma once

#include "protocol/settingsboxes.h"

#include <QString>

namespace quillon {

// How the status log reads: the window shows Running and Succeeded in green, Failed in red.
enum class LogState { Running, Succeeded, Failed };

// The command buttons and the busy pointer, as the exchange state decides them.
struct CommandControls
{
    bool readEnabled = false;
    bool writeEnabled = false;
    bool formatEnabled = false;
    bool formatIsAbort = false; // the format button aborts the running format
    bool busy = false;
};

// What an exchange and the commands need from whoever shows them: the window, or a program
// without one. No toolkit type crosses it.
class FrontEnd
{
public:
    virtual ~FrontEnd() = default;

    // The port the operator chose, as given ("COM3"; a device path where the port map takes
    // paths). Read at the start and at the end of every exchange.
    virtual QString portName() const = 0;

    // The status log: replaced, appended to, and shown at once while the handler keeps running.
    virtual void setLog(const QString &text) = 0;
    virtual void appendLog(const QString &text) = 0;
    virtual void setLogState(LogState state) = 0;
    virtual void repaintLog() = 0;

    virtual void showControls(const CommandControls &controls) = 0;

    // Settings boxes. Setting a text also makes it the box's accepted text.
    virtual QString boxText(Box box) const = 0;
    virtual void setBoxText(Box box, const QString &text) = 0;
    // Points the operator at a box whose text was refused.
    virtual void focusBox(Box box) = 0;

    // The format's progress, 0 to maximum.
    virtual void setProgress(int value, int maximum) = 0;

    // The warning before a format; true when the operator chose to go on.
    virtual bool confirmFormat() = 0;
};

} // namespace quillon
