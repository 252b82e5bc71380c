#pragma once

#include "ledger/ledgerlocation.h"
#include "settings/provisionplan.h"

#include <optional>

namespace quillon {

class CommandLine;
class CtlContext;

// The ledger a command works on: --ledger LOCATION, else QUILLON_LEDGER; never a default.
std::optional<LedgerLocation> LedgerArgument(const CommandLine &line, CtlContext &context,
                                             QString *error);

// The plan of --plan PLAN.json, read and checked.
std::optional<ProvisionPlan> PlanArgument(const CommandLine &line, QString *error);

} // namespace quillon
