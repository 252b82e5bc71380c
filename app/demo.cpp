// The real window with a simulated Quillon on COM1 and the host's serial ports from COM2 on.

#include "main_frm.h"
#include "simulatedquillon.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.quillon.Configurator.Demo"));

    quillon::SimulatedQuillon device;
    device.setSettings({12345678,
                        {0x02, 0x5C, 0xE1, 0xC0, 0x00, 0x01},
                        {10, 10, 10, 11},
                        {255, 255, 255, 0},
                        {10, 10, 10, 1},
                        {10, 10, 10, 1},
                        {0, 0, 0, 0}});
    // Long enough to watch the bar move and try Abort.
    device.setFormatTime(std::chrono::seconds(10));

    quillon::PortMap map = quillon::PortMap::host(2);
    map.setPort(1, {QString::fromStdString(device.devicePath()),
                    QStringLiteral("Simulated Quillon (demo)"),
                    {},
                    {},
                    {}});

    quillon::main_frm window(map);
    window.setWindowTitle(window.windowTitle() + QStringLiteral(" (demo)"));
    window.show();
    return app.exec();
}
