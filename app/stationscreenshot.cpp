// Renders the station as an operator sees it mid-shift, eight fixtures on a 1366x768 screen,
// for the documentation: passes, a failure, a fixture with no unit and one whose adapter is out.
#include "app/stationdemo.h"
#include "station/fixturetile.h"
#include "station/stationwindow.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QPalette>
#include <QPixmap>
#include <QStyle>
#include <QTextStream>

namespace {

constexpr int kFixtures = 8;
constexpr QSize kScreen(1366, 768);
constexpr int kDeadlineMs = 15000;

QPalette DarkPalette()
{
    QPalette palette;
    palette.setColor(QPalette::Window, QColor(45, 45, 48));
    palette.setColor(QPalette::WindowText, QColor(230, 230, 230));
    palette.setColor(QPalette::Base, QColor(30, 30, 32));
    palette.setColor(QPalette::Text, QColor(230, 230, 230));
    palette.setColor(QPalette::Button, QColor(60, 60, 64));
    palette.setColor(QPalette::ButtonText, QColor(230, 230, 230));
    palette.setColor(QPalette::Highlight, QColor(60, 120, 200));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    for (const QPalette::ColorRole role :
         {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Disabled, role, QColor(130, 130, 130));
    }
    return palette;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3 ||
        (arguments.size() == 3 && arguments[2] != QStringLiteral("--dark"))) {
        QTextStream(stderr) << "usage: quillon-station-screenshot OUTPUT.png [--dark]\n";
        return 2;
    }
    if (arguments.size() == 3) {
        QApplication::setPalette(DarkPalette());
    }
    quillon::StationDemo demo(kFixtures);
    demo.device(5).setReplyFault(quillon::SimulatedQuillon::ReplyFault::IgnoreWrites);
    demo.device(6).setReplyFault(quillon::SimulatedQuillon::ReplyFault::NoReply);
    demo.unplug(7);
    quillon::StationWindow window(demo.portMap());
    window.resize(kScreen);
    window.show();
    window.start();
    const auto settled = [&window] {
        int results = 0;
        for (const quillon::FixtureTile *tile : window.tiles()) {
            results += tile->state() == quillon::FixtureTile::State::Passed ||
                       tile->state() == quillon::FixtureTile::State::Failed;
        }
        return results == 6;
    };
    const QDeadlineTimer deadline(kDeadlineMs);
    while (!settled() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    window.tiles()[0]->setFocus();
    QCoreApplication::processEvents();
    if (!window.grab().save(arguments[1])) {
        QTextStream(stderr) << "cannot write " << arguments[1] << '\n';
        return 1;
    }
    return 0;
}
