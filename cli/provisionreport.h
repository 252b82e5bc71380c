#pragma once

#include "cli/values.h"

#include <QString>

namespace quillon {

class CtlContext;

// What became of one device that answered on a port.
struct DeviceReport
{
    enum class Outcome { verified, alreadyProvisioned, failed };

    QString port;
    Outcome outcome = Outcome::failed;
    quint32 oldSerial = 0;
    MacAddress oldMac{};
    // The numbers allocated to it; the old ones again when it was already provisioned.
    quint32 newSerial = 0;
    MacAddress newMac{};
    QString reason; // why it failed
};

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
