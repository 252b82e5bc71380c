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

// What the exchange engine shows, to the window or to a program without one. Each hook does
// nothing unless a front end shows it, so one without a window overrides only what it uses.
// No toolkit type crosses it.
class FrontEnd
{
public:
    virtual ~FrontEnd() = default;

    // The port the operator chose ("COM3"), for an engine that resolves names through its port
    // map. Read at the start and at the end of every exchange.
    virtual QString portName() const { return {}; }

    // The status log: replaced, appended to, and shown at once while the handler keeps running.
    virtual void setLog(const QString &) {}
    virtual void appendLog(const QString &) {}
    virtual void setLogState(LogState) {}
    virtual void repaintLog() {}

    virtual void showControls(const CommandControls &) {}

    // A settings box as the reply fills it. Setting a text also makes it the box's accepted text.
    virtual void setBoxText(Box, const QString &) {}

    // The format's progress, 0 to maximum.
    virtual void setProgress(int /*value*/, int /*maximum*/) {}
};

} // namespace quillon
