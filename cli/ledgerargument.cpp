#include "cli/ledgerargument.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"

namespace quillon {

std::optional<LedgerLocation> LedgerArgument(const CommandLine &line, CtlContext &context,
                                             QString *error)
{
    const QString option = QStringLiteral("ledger");
    std::optional<LedgerLocation> location = LedgerLocation::resolve(
        line.isSet(option) ? std::optional<QString>(line.value(option)) : std::nullopt, error);
    if (location) {
        location->fileSystem = context.options().fileSystem;
        location->busyTimeoutMs =
            context.options().ledgerBusyTimeoutMs.value_or(location->busyTimeoutMs);
    }
    return location;
}

std::optional<ProvisionPlan> PlanArgument(const CommandLine &line, QString *error)
{
    if (!line.isSet(QStringLiteral("plan"))) {
        *error = QStringLiteral("give the plan with --plan PLAN.json");
        return std::nullopt;
    }
    std::optional<ProvisionPlan> plan =
        ProvisionPlan::readFile(line.value(QStringLiteral("plan")), error);
    if (!plan) {
        *error = QStringLiteral("--plan %1").arg(*error);
    }
    return plan;
}

} // namespace quillon
