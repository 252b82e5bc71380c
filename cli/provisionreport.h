#pragma once

#include "provisioning/devicereport.h"
#include "provisioning/eventlog.h"

#include <QString>

namespace quillon {

class CtlContext;

// The lines of a provisioning run: one per device and one summary, as text or as one JSON
// object per line, flushed at once so that a watching operator sees each device as it ends.
// With watch, every port event too, time-stamped; with a log file, every event is appended
// there as one JSON line.
class ProvisionReport
{
public:
    ProvisionReport(CtlContext &context, bool json, bool watch)
        : context_(context), json_(json), watch_(watch)
    {
    }

    // Opens the station's log for appending; false with the reason when it cannot be.
    bool openLog(const QString &path, QString *error);
    void event(const PortEvent &event);
    // Standard output or the log could not be written; the reason, or empty.
    QString outputFailure() const;

    void device(const DeviceReport &report);
    // A port that stops without a device to report: one line on standard error, and in JSON
    // one object on standard output too, so that the stream tells of every port.
    void portStopped(const QString &port, const QString &reason);
    void summary(bool interrupted);

    // A unit left untouched as numbered elsewhere was not provisioned either.
    bool anyFailed() const { return failed_ > 0 || stopped_ > 0 || elsewhere_ > 0; }

private:
    CtlContext &context_;
    bool json_;
    bool watch_;
    EventLog log_;
    int verified_ = 0;
    int already_ = 0;
    int failed_ = 0;
    int elsewhere_ = 0;
    int stopped_ = 0;
};

} // namespace quillon
