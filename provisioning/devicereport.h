#pragma once

#include "link/exchangestate.h"
#include "settings/values.h"

#include <QString>

namespace quillon {

// What became of one device that answered on a port.
struct DeviceReport
{
    // NumberedElsewhere: a unit that shows neither the factory identity nor one of this
    // ledger's, left untouched.
    enum class Outcome { Verified, AlreadyProvisioned, Failed, NumberedElsewhere };

    QString port;
    Outcome outcome = Outcome::Failed;
    quint32 oldSerial = 0;
    MacAddress oldMac{};
    // The numbers allocated to it; the old ones again when it was already provisioned.
    quint32 newSerial = 0;
    MacAddress newMac{};
    Address newIp{};
    QString reason; // why it failed
    // How the last exchange with it ended, so a front end can word a failure its own way.
    ExchangeOutcome exchange = ExchangeOutcome::Ok;
};

} // namespace quillon
