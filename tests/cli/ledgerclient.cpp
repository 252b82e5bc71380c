// A second process for the ledger tests: ledgerclient LEDGER PLAN COUNT [--hold]
// Allocates COUNT numbers, printing "<serial> <mac>" for each as soon as it is committed;
// with --hold it then prints "held" and waits for its standard input to close.
#include "cli/ledger.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>

#include <cstdio>

using namespace quillon;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    QFile planFile(args.value(2));
    if (args.size() < 4 || !planFile.open(QIODevice::ReadOnly)) {
        err << "usage: ledgerclient LEDGER PLAN COUNT [--hold]" << Qt::endl;
        return 2;
    }
    QString error;
    const std::optional<ProvisionPlan> plan = ProvisionPlan::parse(planFile.readAll(), &error);
    const std::unique_ptr<Ledger> ledger =
        plan ? Ledger::openForPlan(args[1], *plan, &error) : nullptr;
    if (!ledger) {
        err << error << Qt::endl;
        return 2;
    }
    const int count = args[3].toInt();
    for (int i = 0; i < count; ++i) {
        const Ledger::AllocateResult result =
            ledger->allocate(QStringLiteral("/dev/client"), 0, MacAddress{});
        if (result.outcome != Ledger::Outcome::allocated) {
            out << (result.outcome == Ledger::Outcome::exhausted ? "exhausted" : "failed") << ' '
                << result.error << Qt::endl;
            return 1;
        }
        out << result.allocation.serial << ' ' << MacText(result.allocation.mac) << Qt::endl;
    }
    if (args.contains(QStringLiteral("--hold"))) {
        out << "held" << Qt::endl;
        char buffer[64];
        while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
        }
    }
    return 0;
}
