// The line operator's provisioning window.

#include "app/commandline.h"
#include "station/stationwindow.h"

#include <QApplication>
#include <QScreen>

#include <iostream>

int main(int argc, char *argv[])
{
    const quillon::ProgramInfo program{
        "quillon-station",
        "Opens the provisioning window for the production line: one tile per fixture, each unit\n"
        "given its own serial number and MAC from the plan and recorded in the ledger."};
    if (const auto status =
            quillon::AnswerBeforeApplication(program, argc, argv, std::cout, std::cerr)) {
        return *status;
    }
    QApplication app(argc, argv);
    if (const auto status =
            quillon::RejectLeftoverArguments(program, QCoreApplication::arguments(), std::cerr)) {
        return *status;
    }
    // Where the set-up is remembered: ~/.config/quillon/quillon-station.conf.
    QCoreApplication::setOrganizationName(QStringLiteral("quillon"));
    QCoreApplication::setApplicationName(QStringLiteral("quillon-station"));
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillon.Station"));
    // The configurator's icon, from the window library's resources.
    Q_INIT_RESOURCE(quillon);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/quillon/icon.png")));
    quillon::StationWindow window(quillon::PortMap::host());
    // The station is the operator's whole screen: tiles as large as it allows.
    window.resize(window.screen()->availableSize());
    window.showMaximized();
    return app.exec();
}
