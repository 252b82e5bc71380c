// The station's window with eight fixtures at 1366x768: the CPU time of the window's own work
// for one state change of a tile (texts, colours, accessibility, layout and the tile's paint),
// with every fixture busy in turn. The fixtures' exchanges are not counted: the tiles are
// driven directly, as the provisioning engine's signals drive them.

#include "app/stationdemo.h"
#include "samples.h"
#include "station/fixturetile.h"
#include "station/stationwindow.h"

#include <QApplication>
#include <QDeadlineTimer>

#include <cstdio>
#include <ctime>

using namespace quillon;

namespace {

constexpr int kFixtures = 8;
constexpr int kRounds = 200;
constexpr int kBatches = 20;
constexpr QSize kScreen(1366, 768);

double ThreadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

// One unit's whole life on a tile: five state changes.
int OneUnit(FixtureTile &tile, quint32 serial, bool fails)
{
    tile.showStep(PortProvisioner::Step::Reading, {});
    tile.showStep(PortProvisioner::Step::Writing, {});
    tile.showStep(PortProvisioner::Step::Verifying, {});
    DeviceReport report;
    report.outcome = fails ? DeviceReport::Outcome::Failed : DeviceReport::Outcome::Verified;
    report.newSerial = serial;
    report.reason = QStringLiteral("read-back: Timeout");
    tile.showDevice(report);
    tile.showStep(PortProvisioner::Step::Waiting, {});
    return 5;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    StationDemo demo(kFixtures);
    for (int i = 0; i < kFixtures; ++i) {
        demo.device(i).setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
    }
    StationWindow window(demo.portMap());
    window.resize(kScreen);
    window.show();
    window.start();
    const QDeadlineTimer deadline(30000);
    // The run starts once the ledger has answered.
    while (!window.running() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    window.stop();
    while (window.running() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }

    Samples perEvent;
    quint32 serial = 1000;
    for (int batch = 0; batch < kBatches; ++batch) {
        int events = 0;
        const double start = ThreadCpuMs();
        for (int round = 0; round < kRounds / kBatches; ++round) {
            for (FixtureTile *tile : window.tiles()) {
                const int before = events;
                ++serial;
                events += OneUnit(*tile, serial, serial % 7 == 0);
                // What the event loop would do after each change: lay out, then paint.
                for (int i = before; i < events; ++i) {
                    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
                    tile->repaint();
                }
            }
        }
        perEvent.add((ThreadCpuMs() - start) / events);
    }
    std::printf("station, %d fixtures at %dx%d, %d batches of %d state changes\n", kFixtures,
                kScreen.width(), kScreen.height(), kBatches, kRounds / kBatches * kFixtures * 5);
    std::printf("%-28s %9s %9s %9s\n", "CPU ms per state change", "median", "min", "max");
    std::printf("%-28s %9.3f %9.3f %9.3f   goal < 1\n", "", perEvent.median(), perEvent.min(),
                perEvent.max());
    std::printf("bench=station fixtures=%d ui_ms_per_event=%.3f\n", kFixtures, perEvent.median());
    return 0;
}
