#include "cli/quillonctl.h"

#include <QCoreApplication>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillonctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    quillon::CtlOptions options;
    options.errIsTerminal = ::isatty(STDERR_FILENO) == 1;
    return quillon::RunQuillonCtl(QCoreApplication::arguments(), options, out, err);
}
