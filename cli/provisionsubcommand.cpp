#include "cli/provisionsubcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
#include "cli/interruptsignal.h"
#include "cli/ledgerargument.h"
#include "cli/provisionreport.h"
#include "cli/synopses.h"
#include "ledger/ledgerworker.h"
#include "provisioning/labelhook.h"
#include "provisioning/portprovisioner.h"

#include <QEventLoop>
#include <QTimer>

#include <memory>
#include <vector>

namespace quillon {

int RunProvisionSubcommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("provision"), kProvisionSynopsis);
    line.addValue(QStringLiteral("plan"), QStringLiteral("PLAN.json"),
                  QStringLiteral("The plan: the ranges of serial numbers and MACs and the other "
                                 "settings; required."));
    line.addValue(QStringLiteral("ledger"), QStringLiteral("LOCATION"), kLedgerOption);
    line.addFlag(QStringLiteral("watch"),
                 QStringLiteral("Keep going: provision the next device as soon as one is swapped "
                                "on a port, until Ctrl+C."));
    line.addFlag(QStringLiteral("renumber"),
                 QStringLiteral("Give a unit numbered by another ledger a new serial number and "
                                "MAC from this plan, rather than leaving it alone."));
    line.addValue(QStringLiteral("log"), QStringLiteral("FILE"),
                  QStringLiteral("Append every line of the run, time-stamped, to FILE, flushed "
                                 "line by line."));
    line.addValue(QStringLiteral("on-verified"), QStringLiteral("COMMAND"),
                  QStringLiteral("Run COMMAND through the shell for each verified unit, with its "
                                 "values in QUILLON_* variables (to print a label)."));
    line.addFlag(QStringLiteral("json"), QStringLiteral("Print one JSON object per line."));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }

    ProvisionRequest request;
    QString error;
    const std::optional<ProvisionPlan> plan = PlanArgument(line, &error);
    if (!plan) {
        return line.refuse(context, error);
    }
    request.plan = *plan;

    const QStringList ports = line.positional();
    if (ports.isEmpty()) {
        return line.refuse(context, QStringLiteral("give at least one PORT"));
    }
    for (const QString &argument : ports) {
        const std::optional<PortArgument> port = context.resolvePort(argument, &error);
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
    request.renumber = line.isSet(QStringLiteral("renumber"));
    request.logPath = line.value(QStringLiteral("log"));
    request.onVerified = line.value(QStringLiteral("on-verified"));
    if (line.isSet(QStringLiteral("on-verified")) && request.onVerified.trimmed().isEmpty()) {
        return line.refuse(context, QStringLiteral("--on-verified: give a command"));
    }
    request.json = line.isSet(QStringLiteral("json"));

    const std::optional<LedgerLocation> location = LedgerArgument(line, context, &error);
    if (!location) {
        return line.refuse(context, error);
    }
    LedgerWorker ledger;
    if (!ledger.openForRun(*location, request.plan, &error)) {
        return line.refuse(context, error);
    }
    return ProvisionDevices(request, ledger, context);
}

int ProvisionDevices(const ProvisionRequest &request, LedgerWorker &ledger, CtlContext &context)
{
    const CtlOptions &options = context.options();
    AllocationQueue allocations(ledger);
    PortProvisioner::Setup setup;
    setup.plan = &request.plan;
    setup.ledger = &ledger;
    setup.allocations = &allocations;
    setup.watch = request.watch;
    setup.renumber = request.renumber;
    setup.timing = options.timing;
    setup.watchIntervalMs = options.watchIntervalMs;
    setup.afterAllocation = options.afterAllocation;
    setup.beforeVerifiedRecord = options.beforeVerifiedRecord;

    ProvisionReport report(context, request.json, request.watch);
    QString error;
    if (!request.logPath.isEmpty() && !report.openLog(request.logPath, &error)) {
        return context.fail(QStringLiteral("provision: ") + error, kExitUsage);
    }
    QEventLoop loop;
    InterruptSignal interrupt;
    bool interrupted = false;
    QString outputFailure;
    std::vector<std::unique_ptr<PortProvisioner>> ports;
    LabelHook hook(request.onVerified, request.plan, options.hookTimeLimitMs);
    // A record that cannot be written ends the run as a signal does, and never as a success.
    const auto checkOutput = [&] {
        if (outputFailure.isEmpty() && !(outputFailure = report.outputFailure()).isEmpty()) {
            context.fail(QStringLiteral("provision: ") + outputFailure, kExitDeviceFailed);
            for (const auto &port : ports) {
                port->interrupt();
            }
        }
    };
    const auto onEvent = [&](const PortEvent &event) {
        report.event(event);
        if (event.kind == PortEvent::Kind::Verified) {
            hook.run(event);
        }
        checkOutput();
    };
    QObject::connect(&hook, &LabelHook::failed, &loop, onEvent);
    int running = 0;
    for (const PortArgument &port : request.ports) {
        auto provisioner = std::make_unique<PortProvisioner>(port, setup);
        QObject::connect(provisioner.get(), &PortProvisioner::deviceDone,
                         [&report, &checkOutput](const DeviceReport &device) {
                             report.device(device);
                             checkOutput();
                         });
        QObject::connect(provisioner.get(), &PortProvisioner::portEvent, onEvent);
        QObject::connect(provisioner.get(), &PortProvisioner::portStopped,
                         [&report](const QString &name, const QString &reason) {
                             report.portStopped(name, reason);
                         });
        QObject::connect(provisioner.get(), &PortProvisioner::finished, &loop, [&running, &loop] {
            if (--running == 0) {
                loop.quit();
            }
        });
        ports.push_back(std::move(provisioner));
        ++running;
    }
    QObject::connect(&interrupt, &InterruptSignal::interrupted, &loop, [&] {
        interrupted = true;
        context.err() << "quillonctl: stopping once the exchanges under way have ended; a second "
                         "signal stops at once"
                      << Qt::endl;
        for (const auto &port : ports) {
            port->interrupt();
        }
    });
    // Started from the loop, so that a port that finishes at once cannot quit it early.
    QTimer::singleShot(0, &loop, [&ports] {
        for (const auto &port : ports) {
            port->start();
        }
    });
    // A signal during start-up ends the run before any port is touched.
    interrupted = InterruptSignal::raised();
    if (!interrupted) {
        loop.exec();
    }
    // The labels of the last units still print; each command has its time limit.
    if (!hook.idle()) {
        QObject::connect(&hook, &LabelHook::allEnded, &loop, &QEventLoop::quit);
        loop.exec();
    }

    report.summary(interrupted);
    if (!outputFailure.isEmpty()) {
        return kExitDeviceFailed;
    }
    if (interrupted) {
        return InterruptSignal::exitStatus();
    }
    return report.anyFailed() ? kExitDeviceFailed : kExitOk;
}

} // namespace quillon
