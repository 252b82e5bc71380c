#include "cli/quillonctl.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quillonctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUILLON_VERSION));
    QTextStream out(stdout);
    QTextStream err(stderr);
    return quillon::RunQuillonCtl(QCoreApplication::arguments(), quillon::CtlOptions{}, out, err);
}
