#include "app/commandline.h"
#include "window/main_frm.h"

#include <QApplication>

#include <iostream>

int main(int argc, char *argv[])
{
    const quillon::ProgramInfo program{
        "quillon", "Opens the window that reads, edits and writes the settings of a Quillon\n"
                   "over a serial port."};
    if (const auto status =
            quillon::AnswerBeforeApplication(program, argc, argv, std::cout, std::cerr)) {
        return *status;
    }
    // Listing and trying the host's ports takes longer than building the form: both at once.
    quillon::PortScan scan = quillon::PortScan::host();
    QApplication app(argc, argv);
    if (const auto status =
            quillon::RejectLeftoverArguments(program, QCoreApplication::arguments(), std::cerr)) {
        return *status;
    }
    // Lets the desktop match the window to its launcher and icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillon.Configurator"));
    quillon::main_frm window(std::move(scan));
    window.show();
    return app.exec();
}
