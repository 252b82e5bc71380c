// Renders the window as an operator sees it after reading the demo's simulated device, for the
// documentation.
#include "app/demosession.h"
#include "window/main_frm.h"

#include <QApplication>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QPixmap>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        QTextStream(stderr) << "usage: quillon-screenshot OUTPUT.png\n";
        return 2;
    }
    quillon::DemoSession session;
    quillon::main_frm window(session.portMap());
    window.show();
    window.findChild<QComboBox *>(QStringLiteral("comports"))->setCurrentIndex(0);
    window.commands().read_setup_Click();
    const QDeadlineTimer deadline(5000);
    while (window.exchange().busy() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    if (!window.grab().save(QString::fromLocal8Bit(argv[1]))) {
        QTextStream(stderr) << "cannot write " << argv[1] << '\n';
        return 1;
    }
    return 0;
}
