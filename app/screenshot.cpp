// Renders the window as an operator first sees it, for the documentation.
#include "main_frm.h"

#include <QApplication>
#include <QPixmap>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: quillon-screenshot OUTPUT.png\n";
        return 2;
    }
    quillon::main_frm window{quillon::PortMap{}};
    window.show();
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        QTextStream(stderr) << "cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
