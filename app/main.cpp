#include "window/main_frm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // Lets the desktop match the window to its launcher and icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillon.Configurator"));
    quillon::main_frm window(quillon::PortMap::host());
    window.show();
    return app.exec();
}
