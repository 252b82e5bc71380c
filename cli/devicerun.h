#pragma once

#include "cli/ctlcontext.h"
#include "cli/interruptsignal.h"
#include "protocol/devicesettings.h"
#include "session/portargument.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace quillon {

class CtlContext;
class DeviceSession;
struct ExchangeEnd;

// The exchanges of one command on one device, each run to its end before the call returns,
// with Ctrl+C watched throughout. A format is aborted as the window's Abort does; a read or a
// write stops waiting and closes the port at once. After a failure, status() and failure() say
// what happened and every later exchange is refused.
class DeviceRun
{
public:
    DeviceRun(const PortArgument &port, CtlContext &context);
    ~DeviceRun();
    DeviceRun(const DeviceRun &) = delete;
    DeviceRun &operator=(const DeviceRun &) = delete;

    std::optional<DeviceSettings> read();
    bool write(const DeviceSettings &settings);
    bool format();

    // The exit status of the failure: 1 the device, 3 the port, 128 + n for signal n.
    int status() const { return status_; }
    bool interrupted() const { return status_ > kExitPortUnavailable; }
    // One line, without the program's name: "Timeout: no complete reply from COM3 within 2 s".
    const QString &failure() const { return failure_; }

    // The last exchange's request reached the port; after Ctrl+C, whether the device may have
    // acted on it.
    bool requestSent() const { return requestSent_; }

    // Prints the failure, prefixed with `what` ("read") unless it is the window's "Port error"
    // line, which stands alone. Returns status().
    int report(const QString &what) const;

private:
    bool run(const std::function<void(DeviceSession &)> &start);
    void fail(const ExchangeEnd &end);
    void showProgress(int value, int maximum);
    void clearProgress();

    PortArgument port_;
    CtlContext &context_;
    InterruptSignal interrupt_;
    std::unique_ptr<DeviceSession> session_;
    int status_ = 0;
    QString failure_;
    qsizetype progressWidth_ = 0;
    bool requestSent_ = false;
};

} // namespace quillon
