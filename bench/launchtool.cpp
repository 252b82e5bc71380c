// The tool's start-up as app/main.cpp has it, ending once the window has been painted.

#include "quitafterexpose.h"
#include "window/main_frm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    quillon::PortScan scan = quillon::PortScan::host();
    QApplication app(argc, argv);
    quillon::main_frm window(std::move(scan));
    window.show();
    quillon::QuitAfterExpose quit(window);
    return app.exec();
}
