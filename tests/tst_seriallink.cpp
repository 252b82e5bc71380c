// The serial control over a real pseudo-terminal: byte transparency and per-byte events.

#include "mscomm.h"
#include "simulatedquillon.h"

#include <QTest>

using namespace quillon;

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
    PortMap map;
    map.setPort(7, {QString::fromStdString(device.devicePath()), {}, {}, {}, {}});
    MSComm comm(map);
    comm.setCommPort(7);
    comm.setSettings(QString::fromLatin1(kLineSettings));
    QVERIFY(comm.setPortOpen(true));

    Bytes all(256);
    for (int i = 0; i < 256; ++i) {
        all[i] = static_cast<std::uint8_t>(i);
    }
    QByteArray received;
    int events = 0;
    connect(&comm, &MSComm::OnComm, [&] {
        ++events;
        QCOMPARE(comm.CommEvent(), kComEvReceive);
        const QByteArray byte = comm.Input();
        QCOMPARE(byte.size(), 1);
        QVERIFY(comm.Input().isEmpty()); // each read hands over one byte only
        received += byte;
    });
    device.sendRaw(all);
    QTRY_COMPARE(received.size(), 256);
    QCOMPARE(events, 256);
    QCOMPARE(received, QByteArray(reinterpret_cast<const char *>(all.data()), 256));

    for (std::uint8_t b : all) {
        comm.Output(QByteArray(1, static_cast<char>(b)));
    }
    QTRY_COMPARE(device.received().size(), std::size_t(256));
    QVERIFY(device.received() == all);
}

QTEST_MAIN(tst_SerialLink)
#include "tst_seriallink.moc"
