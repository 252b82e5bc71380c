// Read Setup end to end: the real window, the real Qt serial layer, a pseudo-terminal and the
// simulated device.

#include "rig.h"

#include <QAccessible>
#include <QElapsedTimer>
#include <QLabel>
#include <QSerialPort>

#include <ctime>
#include <functional>
#include <utility>

#include <poll.h>

using namespace quillon;
using namespace quillon::test;

Q_DECLARE_METATYPE(quillon::SimulatedQuillon::ReplyFault)
Q_DECLARE_METATYPE(quillon::SimulatedQuillon::Pacing)

namespace {

// Runs an action inside the delivery of every event of a type that an object receives.
class EventHook : public QObject
{
public:
    EventHook(QObject *object, QEvent::Type type, std::function<void()> action)
        : type_(type), action_(std::move(action))
    {
        object->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == type_) {
            action_();
        }
        return false;
    }

private:
    QEvent::Type type_;
    std::function<void()> action_;
};

} // namespace

class tst_Exchanges : public QObject
{
    Q_OBJECT
private slots:
    // Only ports that open are listed, in number order; each entry names its device, to a
    // screen reader too.
    void catalogueListsPortsThatOpen()
    {
        SimulatedQuillon first, held, last;
        QSerialPort holder(QString::fromStdString(held.devicePath()));
        QVERIFY(holder.open(QIODevice::ReadWrite));
        const QStringList paths{QString::fromStdString(first.devicePath()),
                                QString::fromStdString(last.devicePath())};
        PortMap map;
        map.setPort(9, {paths[1], QStringLiteral("right adapter"), {}, {}, {}});
        map.setPort(2, {paths[0], QStringLiteral("left adapter"), {}, {}, {}});
        map.setPort(4, {QString::fromStdString(held.devicePath()), {}, {}, {}, {}});
        map.setPort(5, {QStringLiteral("/nonexistent/ttyQ0"), {}, {}, {}, {}});
        Driver driver;
        driver.open(map);
        QComboBox *ports = driver.ports();
        QCOMPARE(ports->count(), 2);
        QCOMPARE(ports->currentText(), QString());
        QVERIFY(!driver.button("read_setup")->isEnabled());
        // The entries are the cells of the combo box's list, its first accessible child.
        QAccessibleInterface *list = QAccessible::queryAccessibleInterface(ports)->child(0);
        QCOMPARE(list->childCount(), 2);
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(list->child(i)->text(QAccessible::Name), i == 0 ? "COM2" : "COM9");
            const QString description = list->child(i)->text(QAccessible::Description);
            QVERIFY2(description.contains(paths[i]), qPrintable(description));
            QCOMPARE(description, ports->itemData(i, Qt::ToolTipRole).toString());
        }
    }

    void replyEndsExchange_data()
    {
        QTest::addColumn<SimulatedQuillon::ReplyFault>("fault");
        QTest::addColumn<SimulatedQuillon::Pacing>("pacing");
        QTest::addColumn<bool>("noise");
        QTest::addColumn<QString>("outcome");
        using F = SimulatedQuillon::ReplyFault;
        using P = SimulatedQuillon::Pacing;
        Row("good", F::None, P::Burst, false, "OK");
        Row("byte by byte with gaps", F::None, P::ByteGaps, false, "OK");
        Row("noise before and inside", F::None, P::Burst, true, "OK");
        Row("sent twice", F::SendTwice, P::Burst, false, "OK");
        Row("wrong checksum", F::WrongChecksum, P::Burst, false, "Checksum error");
        // The one real wait for the 2 s reply timeout.
        Row("cut short", F::CutShort, P::Burst, false, "Timeout");
    }

    // Every way a reply can arrive fills all 27 boxes and leaves three log lines; only a device
    // that answered enables Format Flash.
    void replyEndsExchange()
    {
        QFETCH(SimulatedQuillon::ReplyFault, fault);
        QFETCH(SimulatedQuillon::Pacing, pacing);
        QFETCH(bool, noise);
        QFETCH(QString, outcome);
        Rig rig;
        rig.sim->setSettings(kExample);
        rig.sim->setReservedBytes(Bytes(kReservedBytes, 0xA5));
        rig.sim->setReplyFault(fault);
        rig.sim->setPacing(pacing);
        if (noise) {
            // Between the checksum and the end byte, anything but 3 is dropped.
            rig.sim->setNoise({0x00, 0xFF, 0x03, 0x52}, {0x00, 0x02, 0xFF}, 104);
        }
        rig.pick("COM3");
        QElapsedTimer sinceRequest;
        qint64 timedOutAt = -1;
        connect(rig.exchange().findChild<QTimer *>("Timer1"), &QTimer::timeout, this,
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
        QCOMPARE(ToBytes(rig.sim->received()), kRead);
        QVERIFY(rig.button("read_setup")->isEnabled());
        QVERIFY(rig.button("write_setup")->isEnabled());
        QCOMPARE(rig.button("button_format_flash")->isEnabled(), outcome != "Timeout");
        QVERIFY(!rig.exchange().busy());
    }

    // Each refused open ends its exchange at once with its reason, counts as an exchange and
    // writes nothing; once the port is free the next read succeeds.
    void portErrors()
    {
        Rig rig;
        rig.pick("COM3");
        const QString noPort("Port error: no port named \"%1\" (COM1 to COM20)");
        const QList<std::pair<QString, QString>> attempts{
            {"com3", noPort.arg("com3")},
            {"", noPort.arg("")},
            {"COM5", "Port error: COM5 (" + rig.dir.filePath("missing") + ") does not exist"},
            {"COM3", "Port error: COM3 (" + rig.linkPath() +
                         ") is in use by tst_exchanges (process " +
                         QString::number(QCoreApplication::applicationPid()) + ")"}};
        QSerialPort holder(rig.linkPath());
        QVERIFY(holder.open(QIODevice::ReadWrite));
        for (const auto &[text, line] : attempts) {
            rig.typePort(text);
            QTest::keyClick(rig.ports()->lineEdit(), Qt::Key_Return);
            QCOMPARE(rig.ports()->count(), 1); // typed text never becomes an entry
            rig.click("read_setup");
            QCOMPARE(rig.log(), "OpenCom: " + text + "\r\n" + line + "\r\n");
            QCOMPARE(rig.logColor(), kRed);
            QVERIFY(!rig.exchange().busy());
            QVERIFY(rig.button("read_setup")->isEnabled());
            QVERIFY(!rig.button("button_format_flash")->isEnabled());
        }
        QTest::qWait(50); // the only place nothing may happen: give a stray write time to arrive
        QVERIFY(rig.sim->received().empty());
        holder.close();
        rig.click("read_setup");
        QTRY_COMPARE(rig.log(), Log("COM3", "Reading Setup (5", "OK"));
    }

    // A late reply of an earlier exchange, waiting before the open or arriving after it but
    // before the request, is never parsed.
    void replyOlderThanRequestIsNeverParsed()
    {
        Rig rig;
        DeviceSettings stale = kExample;
        stale.serialNumber = 4711;
        rig.sim->setSettings(kExample);
        auto *serialPort = rig.exchange().findChild<QSerialPort *>();
        QVERIFY(serialPort != nullptr);
        // The request follows the open with no paint or event in between; the serial port's
        // read notifier, added as its child once the device is open, is the last moment to reach.
        bool ran = false;
        EventHook hook(serialPort, QEvent::ChildAdded, [&] {
            if (std::exchange(ran, true)) {
                return;
            }
            rig.sim->sendRaw(BuildFrame(kReadLetter, SetupRecord(stale)));
            // Until the stale reply is waiting on the host side, without running the event loop,
            // just as the command handler does not.
            pollfd waiting{static_cast<int>(serialPort->handle()), POLLIN, 0};
            QCOMPARE(poll(&waiting, 1, 5000), 1);
        });
        rig.sim->sendRaw(BuildFrame(kReadLetter, SetupRecord(stale)));
        rig.pick("COM3");
        rig.click("read_setup");
        QVERIFY(ran);
        QTRY_COMPARE(rig.log(), Log("COM3", "Reading Setup (1", "OK"));
        QCOMPARE(TextList(*rig.window), TextList(kExample));
    }

    void unplugStopsReadingAndReplugWorks()
    {
        Rig rig;
        rig.sim->setSettings(kExample);
        rig.sim->setPacing(SimulatedQuillon::Pacing::ByteGaps, std::chrono::milliseconds(20));
        int events = 0;
        bool gone = false;
        connect(rig.exchange().findChild<MSComm *>(), &MSComm::OnComm, [&](CommEvent event) {
            ++events;
            gone = gone || event == CommEvent::DeviceGone;
        });
        rig.pick("COM3");
        rig.click("read_setup");
        QTRY_VERIFY(!rig.box(Box::macadr2).isEmpty());
        rig.sim->unplug();
        QElapsedTimer sinceUnplug;
        sinceUnplug.start();
        const std::clock_t cpuAtUnplug = std::clock();
        QTRY_COMPARE_WITH_TIMEOUT(rig.log(), Log("COM3", "Reading Setup (1", "Timeout"), 5000);
        QVERIFY(gone);
        // At most one receive event per byte before the unplug and one error event: no storm.
        QVERIFY2(events < 110, qPrintable(QString::number(events)));
        // Nor reading on at full CPU without events.
        QTest::qWait(std::max<int>(0, 2000 - int(sinceUnplug.elapsed())));
        const double cpu = double(std::clock() - cpuAtUnplug) / CLOCKS_PER_SEC;
        QVERIFY2(cpu < 0.2, qPrintable(QString("%1 s CPU in the 2 s after the unplug").arg(cpu)));

        rig.plug();
        rig.sim->setSettings(kExample);
        rig.click("read_setup");
        QTRY_COMPARE(rig.log(), Log("COM3", "Reading Setup (2", "OK"));
    }

    // Neither a pick nor a serial number typed during an exchange re-enables a command; Exit
    // during an exchange ends it at once.
    void noSecondExchangeWhileOneRuns()
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
        rig.click("read_setup");
        rig.click("closebutton");
        QVERIFY(!rig.window->isVisible());
        QVERIFY(!rig.log().contains("CloseCom"));
    }

    // The request leaves before the log's first paint, so only the order of the painted lines
    // tells that nothing was lost; COM5 does not open.
    void eachLogLinePaintedInOrder()
    {
        Rig rig;
        rig.sim->setPacing(SimulatedQuillon::Pacing::LineRate);
        rig.pick("COM3");
        QTest::qWait(0);
        QLabel *status = rig.child<QLabel>("status");
        QStringList seen;
        EventHook hook(status, QEvent::Paint, [&] {
            if (seen.isEmpty() || seen.last() != status->text()) {
                seen << status->text();
            }
        });
        const auto readPainting = [&](const QString &port, const QStringList &painted) {
            seen.clear();
            rig.click("read_setup");
            QTRY_VERIFY(!rig.exchange().busy());
            QTRY_COMPARE(seen.size(), painted.size());
            for (int i = 0; i < painted.size(); ++i) {
                QVERIFY2(seen[i].startsWith(painted[i]), qPrintable(port + ": " + seen[i]));
            }
            QCOMPARE(seen.last(), rig.log());
        };
        const QString open3("OpenCom: COM3\r\n"), open5("OpenCom: COM5\r\n");
        readPainting("COM3", {QString(), open3, open3 + "Reading Setup (1): -> ",
                              Log("COM3", "Reading Setup (1", "OK")});
        rig.typePort("COM5");
        QTest::qWait(0);
        readPainting("COM5", {QString(), open5, open5 + "Port error: "});
    }
};

QTEST_MAIN(tst_Exchanges)
#include "tst_exchanges.moc"
