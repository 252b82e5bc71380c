// quillonctl as a child process of the provisioning tests, with test-only timing:
//   provisionclient [--pause] [--reply-timeout MS] [--watch-interval MS] COMMAND ARGUMENTS...
// --pause prints "paused PORT" on standard error once a device's numbers are committed and
// then waits, before the write, until its standard input closes or the process is killed.
#include "cli/quillonctl.h"

#include <QCoreApplication>

#include <cstdio>

using namespace quillon;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    QTextStream out(stdout);
    QTextStream err(stderr);
    CtlOptions options;
    args.removeFirst();
    while (!args.isEmpty() && args.first().startsWith(QLatin1String("--"))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("--pause")) {
            options.afterAllocation = [&err](const QString &port) {
                err << "paused " << port << Qt::endl;
                char buffer[64];
                while (std::fread(buffer, 1, sizeof buffer, stdin) > 0) {
                }
            };
        } else if (option == QLatin1String("--reply-timeout") && !args.isEmpty()) {
            options.timing.replyTimeoutMs = args.takeFirst().toInt();
        } else if (option == QLatin1String("--watch-interval") && !args.isEmpty()) {
            options.watchIntervalMs = args.takeFirst().toInt();
        } else {
            err << "provisionclient: unknown option " << option << Qt::endl;
            return 2;
        }
    }
    return RunQuillonCtl(QStringList{QStringLiteral("quillonctl")} + args, options, out, err);
}
