#pragma once

#include "session/portargument.h"
#include "settings/provisionplan.h"

#include <QList>
#include <QStringList>

namespace quillon {

class CtlContext;
class LedgerWorker;

struct ProvisionRequest
{
    ProvisionPlan plan;
    QList<PortArgument> ports; // no two name the same device
    bool watch = false;
    bool renumber = false;
    bool json = false;
    QString logPath;    // --log; empty for none
    QString onVerified; // --on-verified; empty for none
};

// quillonctl provision --plan PLAN.json [--ledger LOCATION] [--watch] [--renumber] [--json]
//                      [--log FILE] [--on-verified COMMAND] PORT...
// The plan, the ports and the ledger are all checked before any device is touched.
int RunProvisionSubcommand(const QStringList &arguments, CtlContext &context);

// Provisions the devices on the request's ports, all at once, numbering from the ledger.
// Returns the exit status.
int ProvisionDevices(const ProvisionRequest &request, LedgerWorker &ledger, CtlContext &context);

} // namespace quillon
