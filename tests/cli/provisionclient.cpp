// quillonctl as a child process of the tests, with test-only timing:
//   provisionclient [--pause] [--pause-verified] [--busy-timeout MS] [--watch-interval MS]
//                   [--hook-limit MS] COMMAND ARGUMENTS...
// --pause prints "paused PORT" on standard error once a device's numbers are committed and
// then waits, before the write, until its standard input closes or the process is killed;
// --pause-verified does the same between a good read-back and recording it as verified.
// --busy-timeout shortens how long an SQLite ledger's statement waits for another process.
//   provisionclient --allocate COUNT LEDGER PLAN
// allocates COUNT numbers straight from the ledger, printing "<serial> <mac>" for each.
#include "cli/quillonctl.h"
#include "ledger/ledger.h"

#include <QCoreApplication>

#include <cstdio>

using namespace quillon;

namespace {

int Allocate(int count, const QString &ledgerPath, const QString &planPath, QTextStream &out,
             QTextStream &err)
{
    QString error;
    const std::optional<ProvisionPlan> plan = ProvisionPlan::readFile(planPath, &error);
    const std::optional<LedgerLocation> location = LedgerLocation::parse(ledgerPath, &error);
    const std::unique_ptr<Ledger> ledger =
        plan && location ? Ledger::openForPlan(*location, *plan, &error) : nullptr;
    for (int i = 0; ledger && i < count; ++i) {
        const Ledger::AllocateResult result =
            ledger->allocate({{"/dev/client", 0, MacAddress{}}}).first();
        if (result.outcome != Ledger::Outcome::Allocated) {
            err << result.error << Qt::endl;
            return 1;
        }
        out << result.allocation.serial << ' ' << MacText(result.allocation.mac) << Qt::endl;
    }
    if (!ledger) {
        err << error << Qt::endl;
        return 2;
    }
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    CtlOptions options;
    args.removeFirst();
    if (args.size() == 4 && args.first() == QLatin1String("--allocate")) {
        return Allocate(args[1].toInt(), args[2], args[3], out, err);
    }
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        const auto pause = [&err](const QString &port) {
            err << "paused " << port << Qt::endl;
            char buffer[64];
            while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
            }
        };
        if (option == QLatin1String("--pause")) {
            options.afterAllocation = pause;
        } else if (option == QLatin1String("--pause-verified")) {
            options.beforeVerifiedRecord = pause;
        } else if (option == QLatin1String("--busy-timeout") && !args.isEmpty()) {
            options.ledgerBusyTimeoutMs = args.takeFirst().toInt();
        } else if (option == QLatin1String("--watch-interval") && !args.isEmpty()) {
            options.watchIntervalMs = args.takeFirst().toInt();
        } else if (option == QLatin1String("--hook-limit") && !args.isEmpty()) {
            options.hookTimeLimitMs = args.takeFirst().toInt();
        } else {
            err << "provisionclient: unknown option " << option << Qt::endl;
            return 2;
        }
    }
    return RunQuillonCtl(QStringList{QStringLiteral("quillonctl")} + args, options, out, err);
}
