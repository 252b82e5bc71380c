#include "cli/interruptsignal.h"
#include "cli/quillonctl.h"
#include "version.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    // First of all, so that a signal during start-up ends the run as it would later.
    quillon::InterruptSignal::install();
    // A closed pipe then fails the write, which is reported, instead of ending the process.
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillonctl"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(quillon::kVersion));
    QTextStream out(stdout);
    QTextStream err(stderr);
    quillon::CtlOptions options;
    options.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    return quillon::RunQuillonCtl(QCoreApplication::arguments(), options, out, err);
}
