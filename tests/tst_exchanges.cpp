// Read Setup end to end: the real window, the real Qt serial layer, a pseudo-terminal and the
// simulated device.

#include "rig.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSerialPort>

#include <functional>

#include <poll.h>
#include <sys/resource.h>

using namespace quillon;
using namespace quillon::test;

namespace {

const QByteArray kReadRequest("\x02\x52\x00\x52\x03", 5);

// Runs an action the first time an object receives an event of a type, inside its delivery.
class EventHook : public QObject
{
public:
    EventHook(QObject *object, QEvent::Type type, std::function<void()> action)
        : type_(type), action_(std::move(action))
    {
        object->installEventFilter(this);
    }
    bool ran = false;

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type_ && !ran) {
            ran = true;
            action_();
        }
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void()> action_;
};

double CpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) {
        return double(t.tv_sec) + t.tv_usec / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

} // namespace

class tst_Exchanges : public QObject
{
    Q_OBJECT
private slots:
    void catalogueListsPortsThatOpen();
    void replyEndsExchange_data();
    void replyEndsExchange();
    void portTextThatNamesNoPort_data();
    void portTextThatNamesNoPort();
    void portThatCannotBeOpened();
    void openFailureLines_data();
    void openFailureLines();
    void staleBytesAreNeverParsed();
    void replyOlderThanRequestIsNeverParsed();
    void unplugStopsReadingAndReplugWorks();
    void noSecondExchangeWhileOneRuns();
    void exitDuringExchangeEndsAtOnce();
};

void tst_Exchanges::catalogueListsPortsThatOpen()
{
    SimulatedQuillon first, held, last;
    QSerialPort holder(QString::fromStdString(held.devicePath()));
    QVERIFY(holder.open(QIODevice::ReadWrite));
    PortMap map;
    map.setPort(9, {QString::fromStdString(last.devicePath()), {}, {}, {}, {}});
    map.setPort(2, {QString::fromStdString(first.devicePath()), {}, {}, {}, {}});
    map.setPort(4, {QString::fromStdString(held.devicePath()), {}, {}, {}, {}});
    map.setPort(5, {QStringLiteral("/nonexistent/ttyQ0"), {}, {}, {}, {}});
    Driver driver;
    driver.open(map);
    QCOMPARE(driver.ports()->count(), 2);
    QCOMPARE(driver.ports()->itemText(0), QStringLiteral("COM2"));
    QCOMPARE(driver.ports()->itemText(1), QStringLiteral("COM9"));
    QCOMPARE(driver.ports()->itemData(1, Qt::ToolTipRole).toString(),
             QString::fromStdString(last.devicePath()));
    QCOMPARE(driver.ports()->currentText(), QString());
    QVERIFY(!driver.button("read_setup")->isEnabled());
    holder.close();
}

void tst_Exchanges::replyEndsExchange_data()
{
    QTest::addColumn<int>("fault");
    QTest::addColumn<int>("pacing");
    QTest::addColumn<bool>("noise");
    QTest::addColumn<QString>("outcome");

    using S = SimulatedQuillon;
    QTest::newRow("good") << int(S::ReplyFault::None) << int(S::Pacing::Burst) << false << "OK";
    QTest::newRow("byte by byte with gaps")
        << int(S::ReplyFault::None) << int(S::Pacing::ByteGaps) << false << "OK";
    QTest::newRow("at line rate") << int(S::ReplyFault::None) << int(S::Pacing::LineRate) << false
                                  << "OK";
    QTest::newRow("noise before and inside")
        << int(S::ReplyFault::None) << int(S::Pacing::Burst) << true << "OK";
    QTest::newRow("sent twice") << int(S::ReplyFault::SendTwice) << int(S::Pacing::Burst) << false
                                << "OK";
    QTest::newRow("wrong checksum")
        << int(S::ReplyFault::WrongChecksum) << int(S::Pacing::Burst) << false << "Checksum error";
    // The one real wait for the 2 s reply timeout.
    QTest::newRow("cut short") << int(S::ReplyFault::CutShort) << int(S::Pacing::Burst) << false
                               << "Timeout";
}

// Every way a reply can arrive fills all 27 boxes and leaves three log lines; only a device
// that answered enables Format Flash.
void tst_Exchanges::replyEndsExchange()
{
    QFETCH(int, fault);
    QFETCH(int, pacing);
    QFETCH(bool, noise);
    QFETCH(QString, outcome);

    Rig rig;
    rig.sim->setSettings(kExample);
    rig.sim->setReservedBytes(Bytes(kReservedBytes, 0xA5));
    rig.sim->setReplyFault(SimulatedQuillon::ReplyFault(fault));
    rig.sim->setPacing(SimulatedQuillon::Pacing(pacing));
    if (noise) {
        // Between the checksum and the end byte, anything but 3 is dropped.
        rig.sim->setNoise({0x00, 0xFF, 0x03, 0x52}, {0x00, 0x02, 0xFF}, 104);
    }
    rig.pick("COM3");
    QVERIFY(rig.button("read_setup")->isEnabled());
    QElapsedTimer sinceRequest;
    qint64 timedOutAt = -1;
    connect(&rig.exchange().Timer1(), &QTimer::timeout, this,
            [&] { timedOutAt = sinceRequest.elapsed(); });
    rig.click("read_setup");
    // The click has written the whole request to the line by now.
    sinceRequest.start();
    QVERIFY(!rig.button("read_setup")->isEnabled());

    QTRY_COMPARE_WITH_TIMEOUT(rig.log(), Log("COM3", "Reading Setup (1", outcome), 5000);
    if (outcome == "Timeout") {
        QVERIFY2(timedOutAt >= ExchangeTiming{}.replyTimeoutMs,
                 qPrintable(QString::number(timedOutAt)));
    }
    QCOMPARE(rig.logColor(), outcome == "OK" ? kGreen : kRed);
    QCOMPARE(TextList(*rig.window), TextList(kExample));
    QCOMPARE(ToBytes(rig.sim->received()), kReadRequest);
    QVERIFY(rig.button("read_setup")->isEnabled());
    QVERIFY(rig.button("write_setup")->isEnabled());
    QCOMPARE(rig.button("button_format_flash")->isEnabled(), outcome != "Timeout");
    QCOMPARE(rig.button("button_format_flash")->text(), QStringLiteral("Format Flash"));
    QCOMPARE(rig.child<QProgressBar>("bar_format_flash")->value(), 0);
    QVERIFY(!rig.exchange().busy());
}

void tst_Exchanges::portTextThatNamesNoPort_data()
{
    QTest::addColumn<QString>("text");
    for (const char *text : {"com3", "COM03", "COM21", "COM3 ", ""}) {
        QTest::newRow(text) << QString::fromLatin1(text);
    }
}

void tst_Exchanges::portTextThatNamesNoPort()
{
    QFETCH(QString, text);
    Rig rig;
    rig.pick("COM3");
    rig.typePort(text);
    QTest::keyClick(rig.ports()->lineEdit(), Qt::Key_Return);
    QCOMPARE(rig.ports()->count(), 1); // typed text never becomes an entry
    QCOMPARE(rig.ports()->currentText(), text);
    rig.click("read_setup");
    QCOMPARE(rig.log(),
             QStringLiteral("OpenCom: %1\r\nPort error: no port named \"%1\" (COM1 to COM20)\r\n")
                 .arg(text));
    QCOMPARE(rig.logColor(), kRed);
    QCOMPARE(rig.exchange().exchange_no(), 1);
    QVERIFY(!rig.exchange().busy());
    QVERIFY(rig.button("read_setup")->isEnabled());
    QVERIFY(!rig.button("button_format_flash")->isEnabled());
    QTest::qWait(50); // the only place nothing may happen: give a stray write time to arrive
    QVERIFY(rig.sim->received().empty());
}

void tst_Exchanges::portThatCannotBeOpened()
{
    Rig rig;
    rig.pick("COM3");
    rig.typePort("COM5");
    rig.click("read_setup");
    QCOMPARE(rig.log(), QStringLiteral("OpenCom: COM5\r\nPort error: COM5 (%1) does not exist\r\n")
                            .arg(rig.dir.filePath("missing")));

    QSerialPort holder(rig.linkPath());
    QVERIFY(holder.open(QIODevice::ReadWrite));
    rig.typePort("COM3");
    rig.click("read_setup");
    QCOMPARE(
        rig.log(),
        QStringLiteral("OpenCom: COM3\r\nPort error: COM3 (%1) is in use by another program\r\n")
            .arg(rig.linkPath()));
    QVERIFY(!rig.exchange().busy());
    holder.close();
    rig.click("read_setup");
    QTRY_COMPARE(rig.log(), Log("COM3", "Reading Setup (3", "OK"));
}

void tst_Exchanges::openFailureLines_data()
{
    QTest::addColumn<int>("error");
    QTest::addColumn<bool>("accessible");
    QTest::addColumn<QString>("line");
    QTest::newRow("no permission") << int(QSerialPort::PermissionError) << false
                                   << "Port error: no permission to open COM3 (/dev/ttyUSB0); add "
                                      "your user to the dialout group";
    QTest::newRow("in use") << int(QSerialPort::PermissionError) << true
                            << "Port error: COM3 (/dev/ttyUSB0) is in use by another program";
    QTest::newRow("other") << int(QSerialPort::UnknownError) << true
                           << "Port error: COM3 (/dev/ttyUSB0) cannot be opened: broken";
}

// Root opens any device, so the permission case is classified here on its own (the advice by
// device group has a table of its own); the other reasons are met end to end above.
void tst_Exchanges::openFailureLines()
{
    QFETCH(int, error);
    QFETCH(bool, accessible);
    QFETCH(QString, line);
    OpenFailure failure =
        ClassifyOpenError(QSerialPort::SerialPortError(error), accessible, "broken");
    failure.advice = "add your user to the dialout group";
    QCOMPARE(PortErrorLine(failure, "COM3 (/dev/ttyUSB0)"), line);
}

void tst_Exchanges::staleBytesAreNeverParsed()
{
    Rig rig;
    rig.sim->setSettings(kExample);
    rig.sim->setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
    rig.sim->sendRaw(BuildFrame(kReadLetter, SetupRecord(kExample)));
    rig.pick("COM3");
    rig.click("read_setup");
    QTRY_COMPARE(rig.sim->received().size(), std::size_t(5));
    QTest::qWait(100); // nothing may arrive: wait a little for the opposite
    QCOMPARE(rig.box(Box::serialno), QString());
    rig.exchange().Timer1_Timer();
    QCOMPARE(rig.log(), Log("COM3", "Reading Setup (1", "Timeout"));
}

// A late reply of an earlier exchange that arrives after the open but before the request.
void tst_Exchanges::replyOlderThanRequestIsNeverParsed()
{
    Rig rig;
    DeviceSettings stale = kExample;
    stale.serialNumber = 4711;
    rig.sim->setSettings(kExample);
    auto *serialPort = rig.exchange().MSComm1().findChild<QSerialPort *>();
    QVERIFY(serialPort != nullptr);
    // The request follows the open with no paint or event in between; the serial port's read
    // notifier, added as its child once the device is open, is the last moment to reach.
    EventHook hook(serialPort, QEvent::ChildAdded, [&] {
        rig.sim->sendRaw(BuildFrame(kReadLetter, SetupRecord(stale)));
        // Until the stale reply is waiting on the host side, without running the event loop,
        // just as the command handler does not.
        pollfd waiting{static_cast<int>(serialPort->handle()), POLLIN, 0};
        QCOMPARE(poll(&waiting, 1, 5000), 1);
    });
    rig.pick("COM3");
    rig.click("read_setup");
    QVERIFY(hook.ran);
    QTRY_COMPARE(rig.log(), Log("COM3", "Reading Setup (1", "OK"));
    QCOMPARE(TextList(*rig.window), TextList(kExample));
}

void tst_Exchanges::unplugStopsReadingAndReplugWorks()
{
    Rig rig;
    rig.sim->setSettings(kExample);
    rig.sim->setPacing(SimulatedQuillon::Pacing::ByteGaps, std::chrono::milliseconds(20));
    int events = 0;
    connect(&rig.exchange().MSComm1(), &MSComm::OnComm, [&events] { ++events; });
    rig.pick("COM3");
    rig.click("read_setup");
    QTRY_VERIFY(!rig.box(Box::macadr2).isEmpty());
    rig.sim->unplug();
    QElapsedTimer sinceUnplug;
    sinceUnplug.start();
    const double cpuAtUnplug = CpuSeconds();
    QTRY_COMPARE_WITH_TIMEOUT(rig.log(), Log("COM3", "Reading Setup (1", "Timeout"), 5000);
    // At most one receive event per byte before the unplug and one error event: no storm.
    QVERIFY2(events < 110, qPrintable(QString::number(events)));
    // Nor reading on at full CPU without events.
    QTest::qWait(std::max<int>(0, 2000 - int(sinceUnplug.elapsed())));
    const double cpu = CpuSeconds() - cpuAtUnplug;
    QVERIFY2(cpu < 0.2, qPrintable(QString("%1 s CPU in the 2 s after the unplug").arg(cpu)));

    rig.plug();
    rig.sim->setSettings(kExample);
    rig.click("read_setup");
    QTRY_COMPARE(rig.log(), Log("COM3", "Reading Setup (2", "OK"));
}

void tst_Exchanges::noSecondExchangeWhileOneRuns()
{
    Rig rig;
    rig.sim->setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
    rig.pick("COM3");
    rig.click("read_setup");
    rig.pick("COM3");
    rig.window->setBoxText(Box::serialno, "42");
    rig.click("read_setup");
    rig.click("write_setup");
    for (const char *name : {"read_setup", "write_setup", "button_format_flash"}) {
        QVERIFY2(!rig.button(name)->isEnabled(), name);
    }
    QCOMPARE(rig.exchange().exchange_no(), 1);
    rig.exchange().Timer1_Timer();
    QVERIFY(rig.button("write_setup")->isEnabled());
}

void tst_Exchanges::exitDuringExchangeEndsAtOnce()
{
    Rig rig;
    rig.sim->setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
    rig.pick("COM3");
    rig.click("read_setup");
    rig.click("closebutton");
    QVERIFY(!rig.window->isVisible());
    QVERIFY(!rig.log().contains("CloseCom"));
}

QTEST_MAIN(tst_Exchanges)
#include "tst_exchanges.moc"
