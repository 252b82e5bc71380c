#include "cli/provisioncommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
#include "cli/ledger.h"

#include <QFile>

namespace quillon {

int RunProvisionCommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("provision"),
                     QStringLiteral("Usage: quillonctl provision --plan PLAN.json [--ledger FILE] "
                                    "[--watch] [--json] PORT...\n"));
    line.addValue(QStringLiteral("plan"), QStringLiteral("PLAN.json"));
    line.addValue(QStringLiteral("ledger"), QStringLiteral("FILE"));
    line.addFlag(QStringLiteral("watch"));
    line.addFlag(QStringLiteral("json"));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }

    if (!line.isSet(QStringLiteral("plan"))) {
        return line.refuse(context, QStringLiteral("give the plan with --plan PLAN.json"));
    }
    const QString planPath = line.value(QStringLiteral("plan"));
    QFile planFile(planPath);
    if (!planFile.open(QIODevice::ReadOnly)) {
        return line.refuse(context,
                           QStringLiteral("--plan %1: %2").arg(planPath, planFile.errorString()));
    }
    ProvisionRequest request;
    QString error;
    const std::optional<ProvisionPlan> plan = ProvisionPlan::parse(planFile.readAll(), &error);
    if (!plan) {
        return line.refuse(context, QStringLiteral("--plan %1: %2").arg(planPath, error));
    }
    request.plan = *plan;

    const QStringList ports = line.positional();
    if (ports.isEmpty()) {
        return line.refuse(context, QStringLiteral("give at least one PORT"));
    }
    for (const QString &argument : ports) {
        const std::optional<PortArgument> port =
            ResolvePortArgument(argument, context.portMap(), &error);
        if (!port) {
            return line.refuse(context, error);
        }
        for (const PortArgument &earlier : request.ports) {
            if (earlier.sameDevice(*port)) {
                return line.refuse(context,
                                   QStringLiteral("%1 and %2 name the same device %3")
                                       .arg(earlier.argument, port->argument, port->canonicalPath));
            }
        }
        request.ports << *port;
    }
    request.watch = line.isSet(QStringLiteral("watch"));
    request.json = line.isSet(QStringLiteral("json"));

    const QString ledgerPath = line.isSet(QStringLiteral("ledger"))
                                   ? line.value(QStringLiteral("ledger"))
                                   : Ledger::kDefaultFile;
    const std::unique_ptr<Ledger> ledger = Ledger::openForPlan(ledgerPath, request.plan, &error);
    if (!ledger) {
        return line.refuse(context, error);
    }
    return ProvisionDevices(request, *ledger, context);
}

// NOT YET IMPLEMENTED: the exchange engine drives the ports here, one event loop for all.
int ProvisionDevices(const ProvisionRequest &request, Ledger &ledger, CtlContext &context)
{
    Q_UNUSED(request);
    Q_UNUSED(ledger);
    return context.fail(QStringLiteral("provision: not yet available"), kExitDeviceFailed);
}

} // namespace quillon
