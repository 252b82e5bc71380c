// The tool's start-up as app/main.cpp has it, ending once the window has been painted.

#include "quitafterexpose.h"
#include "window/main_frm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quillon::main_frm window(quillon::PortMap::host());
    window.show();
    quillon::QuitAfterExpose quit(window);
    return app.exec();
}
