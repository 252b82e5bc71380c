#pragma once

#include "provisioning/devicereport.h"

#include <QString>

namespace quillon {

class CtlContext;

// The lines of a provisioning run: one per device and one summary, as text or as one JSON
// object per line, flushed at once so that a watching operator sees each device as it ends.
class ProvisionReport
{
public:
    ProvisionReport(CtlContext &context, bool json) : context_(context), json_(json) {}

    void device(const DeviceReport &report);
    // A port that stops without a device to report: one line on standard error, and in JSON
    // one object on standard output too, so that the stream tells of every port.
    void portStopped(const QString &port, const QString &reason);
    void summary(bool interrupted);

    bool anyFailed() const { return failed_ > 0 || stopped_ > 0; }

private:
    CtlContext &context_;
    bool json_;
    int verified_ = 0;
    int already_ = 0;
    int failed_ = 0;
    int stopped_ = 0;
};

} // namespace quillon
