// The real window in front of a simulated Quillon, for a first look without a device.

#include "app/commandline.h"
#include "app/demosession.h"
#include "window/main_frm.h"

#include <QApplication>

#include <iostream>

int main(int argc, char *argv[])
{
    const quillon::ProgramInfo program{
        "quillon-demo", "Opens the Quillon configurator with a simulated Quillon on COM1, so that\n"
                        "every command can be tried without a device."};
    if (const auto status =
            quillon::AnswerBeforeApplication(program, argc, argv, std::cout, std::cerr)) {
        return *status;
    }
    QApplication app(argc, argv);
    if (const auto status =
            quillon::RejectLeftoverArguments(program, QCoreApplication::arguments(), std::cerr)) {
        return *status;
    }
    // The demo is an action of the configurator's launcher, so it shares its app id and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillon.Configurator"));
    quillon::DemoSession session;
    quillon::main_frm window(session.portMap());
    window.setWindowTitle(window.windowTitle() + QStringLiteral(" (demo)"));
    window.show();
    return app.exec();
}
