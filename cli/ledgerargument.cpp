#include "cli/ledgerargument.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"

#include <QFile>

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
    const QString path = line.value(QStringLiteral("plan"));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("--plan %1: %2").arg(path, file.errorString());
        return std::nullopt;
    }
    std::optional<ProvisionPlan> plan = ProvisionPlan::parse(file.readAll(), error);
    if (!plan) {
        *error = QStringLiteral("--plan %1: %2").arg(path, *error);
    }
    return plan;
}

} // namespace quillon
