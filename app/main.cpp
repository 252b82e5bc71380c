#include "main_frm.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    quillon::main_frm window(quillon::PortMap::host());
    window.show();
    return app.exec();
}
