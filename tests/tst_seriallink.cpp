// The serial control over a real pseudo-terminal: byte transparency both ways, received bytes
// pushed in arrival order.

#include "expected.h"
#include "link/mscomm.h"
#include "sim/simulatedquillon.h"

#include <QTest>

using namespace quillon;
using namespace quillon::test;

class tst_SerialLink : public QObject
{
    Q_OBJECT
private slots:
    void everyByteValuePassesBothWays();
};

void tst_SerialLink::everyByteValuePassesBothWays()
{
    SimulatedQuillon device;
    device.setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
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
        QVERIFY(!bytes.isEmpty());
        received += bytes;
    });
    device.sendRaw(all);
    QTRY_COMPARE(received.size(), 256);
    QCOMPARE(received, ToBytes(all));

    comm.Output(ToBytes(all));
    QTRY_COMPARE(device.received().size(), std::size_t(256));
    QVERIFY(device.received() == all);
}

QTEST_GUILESS_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
