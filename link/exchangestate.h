#pragma once

#include "link/mscomm.h"
#include "protocol/devicesettings.h"

#include <QString>

#include <optional>

namespace quillon {

// What the exchange engine is doing; the one value the commands and the controls follow.
enum class ExchangeState { Idle, Reading, Writing, Formatting };

// How an exchange ended.
enum class ExchangeOutcome { Ok, ChecksumError, Timeout, Aborted, PortError };

struct ExchangeEnd
{
    ExchangeState exchange = ExchangeState::Idle; // the state the exchange ran in
    ExchangeOutcome outcome = ExchangeOutcome::Ok;
    // For PortError: why the port did not open, and the port as the log names it
    // ("COM3 (/dev/ttyUSB0)"). A name that selects no port does not exist.
    OpenFailure openFailure;
    QString port;
    // After a read that ended "OK": the settings of its setup record, none when the frame
    // carried no whole record.
    std::optional<DeviceSettings> settings;
};

// The time limits of an exchange; tests shorten them.
struct ExchangeTiming
{
    int replyTimeoutMs = 2000;
    // Once the progress bar is full, the reply timeout is armed with this.
    int fullBarTimeoutMs = 10;
    int progressTickMs = 1000;
    // The bar's range, and with the tick the time a format may take.
    int progressSteps = 150;
};

} // namespace quillon
