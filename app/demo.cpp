// The real window in front of a simulated Quillon, for a first look without a device.

#include "app/demosession.h"
#include "window/main_frm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Lets the desktop match the window to its launcher and icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillon.Configurator.Demo"));
    quillon::DemoSession session;
    quillon::main_frm window(session.portMap());
    window.setWindowTitle(window.windowTitle() + QStringLiteral(" (demo)"));
    window.show();
    return app.exec();
}
