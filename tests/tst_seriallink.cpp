// The serial control over a real pseudo-terminal, with the simulated device on the other side:
// byte transparency both ways, and a device that stays idle between exchanges.

#include "expected.h"
#include "link/mscomm.h"
#include "sim/simulatedquillon.h"

#include <QTest>

#include <ctime>

using namespace quillon;
using namespace quillon::test;
using namespace std::chrono_literals;

class tst_SerialLink : public QObject
{
    Q_OBJECT
private slots:
    // Then, with the port closed as between two exchanges, the device must not spin on the
    // hang-up (the demo runs it next to the window), and must answer after the next open.
    void everyByteValuePassesBothWays()
    {
        SimulatedQuillon device;
        MSComm comm;
        comm.setCommPort({QString::fromStdString(device.devicePath()), {}});
        comm.setSettings(kLineSettings);
        QVERIFY(comm.setPortOpen(true));

        Bytes all(256);
        for (int i = 0; i < 256; ++i) {
            all[i] = static_cast<std::uint8_t>(i);
        }
        QByteArray received;
        connect(&comm, &MSComm::OnComm, [&](CommEvent event, QByteArrayView bytes) {
            QCOMPARE(event, CommEvent::Receive);
            received += bytes;
        });
        device.sendRaw(all);
        QTRY_COMPARE(received, ToBytes(all));
        device.setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
        comm.Output(ToBytes(all));
        QTRY_VERIFY(device.received() == all);

        comm.setPortOpen(false);
        const std::clock_t cpuBefore = std::clock();
        QVERIFY(!device.waitForReceived(257, 500ms));
        // A spinning thread takes most of a core over half a second; an idle one next to none.
        const double cpuMs = 1000.0 * double(std::clock() - cpuBefore) / CLOCKS_PER_SEC;
        QVERIFY2(cpuMs < 50, qPrintable(QString::number(cpuMs)));

        device.setReplyFault(SimulatedQuillon::ReplyFault::None);
        received.clear();
        QVERIFY(comm.setPortOpen(true));
        comm.Output(QByteArray("\x02\x46\x00\x46\x03", 5));
        QTRY_COMPARE(received, QByteArray("\x02\x46\x00\x46\x03", 5));
    }
};

QTEST_GUILESS_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
