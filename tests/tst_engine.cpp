// The serial control and the exchange engine without a window: a plain front end drives the
// commands against the simulated device over a pseudo-terminal. This program links neither
// QtWidgets nor QtGui, so a widget call in link/ or commands/ breaks its build. Also the port
// catalogue's pure parts, under LANG=C, where a collator loses numeric order.

#include "commands/commands.h"
#include "expected.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "link/portadvice.h"
#include "sim/simulatedquillon.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <ctime>
#include <memory>

using namespace quillon;
using namespace quillon::test;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(quillon::ExchangeOutcome)
Q_DECLARE_METATYPE(quillon::SimulatedQuillon::ReplyFault)

namespace {

// Short limits, so every end path runs in well under a second.
constexpr ExchangeTiming kQuick{200, 10, 20, 3};

// A front end without a window: it keeps what an exchange shows as plain values, as a
// command-line program would.
class TextFrontEnd : public SettingsForm
{
public:
    QString portName() const override { return port; }
    void setLog(const QString &text) override { log = text; }
    void appendLog(const QString &text) override { log += text; }
    void setLogState(LogState state) override { logState = state; }
    void showControls(const CommandControls &shown) override { controls = shown; }
    QString boxText(Box box) const override { return boxes[BoxIndex(box)]; }
    void setBoxText(Box box, const QString &text) override { boxes[BoxIndex(box)] = text; }
    void focusBox(Box) override {}
    void setProgress(int value, int) override { progress = value; }
    bool confirmFormat() override { return true; }

    QString port;
    QString log;
    LogState logState = LogState::Running;
    CommandControls controls;
    BoxTexts<QString> boxes;
    int progress = 0;
};

// One front end with its own engine and commands.
struct Station
{
    Station(PortMap map, const QString &port, ExchangeTiming timing = {})
        : exchange(front, std::move(map), timing), commands(exchange, front)
    {
        front.port = port;
        QObject::connect(&exchange, &Exchange::ended,
                         [this](const ExchangeEnd &end) { ends.append(end); });
    }

    TextFrontEnd front;
    Exchange exchange;
    Commands commands;
    QList<ExchangeEnd> ends;
};

QString Path(const SimulatedQuillon &device)
{
    return QString::fromStdString(device.devicePath());
}

} // namespace

class tst_Engine : public QObject
{
    Q_OBJECT
private slots:
    // The port catalogue: the order of host devices and what the operator is told about a
    // device that cannot be opened.
    void naturalOrder_data()
    {
        QTest::addColumn<QStringList>("paths"); // in the order wanted
        QTest::newRow("prefixes") << QStringList{
            "/dev/ttyACM0", "/dev/ttyACM11", "/dev/ttyS0",    "/dev/ttyS2",   "/dev/ttyS10",
            "/dev/ttyUSB0", "/dev/ttyUSB9",  "/dev/ttyUSB10", "/dev/ttymxc1", "/dev/ttymxc12"};
        // Upper case sorts before lower case byte by byte, whatever a locale would say.
        QTest::newRow("bytes, not letters")
            << QStringList{"/dev/ttyS3", "/dev/ttyUSB1", "/dev/ttyb1"};
        QTest::newRow("leading zeros") << QStringList{"/dev/ttyS01", "/dev/ttyS1", "/dev/ttyS2"};
        QTest::newRow("more than 64 bits")
            << QStringList{"/dev/ttyS99999999999999999999", "/dev/ttyS100000000000000000000"};
        QTest::newRow("digits inside")
            << QStringList{"/dev/serial/by-id/usb-2-port0", "/dev/serial/by-id/usb-10-port0"};
    }

    void naturalOrder()
    {
        QFETCH(QStringList, paths);
        QVERIFY2(qgetenv("LANG") == "C", "runs under LANG=C, as ctest starts it");
        for (qsizetype i = 0; i < paths.size(); ++i) {
            QVERIFY2(!NaturalPathLess(paths[i], paths[i]), qPrintable(paths[i]));
            for (qsizetype j = i + 1; j < paths.size(); ++j) {
                QVERIFY2(NaturalPathLess(paths[i], paths[j]),
                         qPrintable(paths[i] + " < " + paths[j]));
                QVERIFY2(!NaturalPathLess(paths[j], paths[i]),
                         qPrintable(paths[j] + " > " + paths[i]));
            }
        }
    }

    void permissionAdvice_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<uint>("gid");
        QTest::addColumn<uint>("mode");
        QTest::addColumn<QString>("advice");
        const QString admin =
            "an administrator must grant access to /dev/ttyUSB0 (for example with a "
            "udev rule)";
        Row("crw-rw---- root:dialout", "dialout", 20u, 0660u, "add your user to the dialout group");
        Row("crw-rw-r-- root:uucp", "uucp", 14u, 0664u, "add your user to the uucp group");
        Row("crw-r----- root:dialout", "dialout", 20u, 0640u, admin);
        Row("crw--w---- root:tty", "tty", 5u, 0620u, admin);
        Row("crw------- root:root", "root", 0u, 0600u, admin);
        Row("crw-rw---- root:root: never the root group", "root", 0u, 0660u, admin);
        Row("group without a name", "", 4242u, 0660u, admin);
    }

    void permissionAdvice()
    {
        QFETCH(QString, group);
        QFETCH(uint, gid);
        QFETCH(uint, mode);
        QFETCH(QString, advice);
        QCOMPARE(PermissionAdvice("/dev/ttyUSB0", {group, gid, mode}), advice);
    }

    // Every kind of reason, then the limit of eight lines; no device at all is a window test.
    void unusablePortsText()
    {
        using Kind = OpenFailure::Kind;
        const QList<Kind> kinds{Kind::NoPermission, Kind::InUse, Kind::Other, Kind::StaleLock};
        QList<UnusablePort> ports;
        for (int i = 0; i < 10; ++i) {
            OpenFailure failure;
            failure.kind = kinds.value(i, Kind::DoesNotExist);
            failure.advice = "add your user to the dialout group";
            failure.detail = "Input/output error";
            failure.lockFile = "/run/lock/LCK..ttyS3";
            ports.append({QString("/dev/ttyS%1").arg(i), failure});
        }
        QString eight = "No serial port could be opened:\n"
                        "no permission to open /dev/ttyS0; add your user to the dialout group\n"
                        "/dev/ttyS1 is in use by another program\n"
                        "/dev/ttyS2 cannot be opened: Input/output error\n"
                        "/dev/ttyS3 is locked by /run/lock/LCK..ttyS3, left by a program that "
                        "has ended; its owner or an administrator must remove that file";
        for (int i = 4; i < 8; ++i) {
            eight += QString("\n/dev/ttyS%1 does not exist").arg(i);
        }
        QCOMPARE(UnusablePortsText(ports.first(8)), eight);
        QCOMPARE(UnusablePortsText(ports), eight + "\nand 2 more");
    }

    // Only a lock whose program has ended is stale; a running owner holds the port for real.
    void staleLockFile()
    {
        QTemporaryDir empty, locks;
        QProcess ended;
        ended.start("true", {});
        QVERIFY(ended.waitForStarted());
        const qint64 endedPid = ended.processId();
        QVERIFY(ended.waitForFinished());
        const QString path = locks.filePath("LCK..ttyUSB0");
        const auto writeLock = [&](qint64 pid) {
            QFile lock(path);
            QVERIFY(lock.open(QIODevice::WriteOnly | QIODevice::Truncate));
            lock.write(QByteArray::number(pid) + "\nquillon\nhost\n");
        };
        const QStringList dirs{empty.path(), locks.path()};

        QCOMPARE(StaleLockFile("/dev/ttyUSB0", dirs), QString());
        writeLock(QCoreApplication::applicationPid());
        QCOMPARE(StaleLockFile("/dev/ttyUSB0", dirs), QString());
        writeLock(endedPid);
        QCOMPARE(StaleLockFile("/dev/ttyUSB0", dirs), path);
        QCOMPARE(StaleLockFile("/dev/ttyUSB1", dirs), QString());
    }

    void stateTransitions_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("port");
        QTest::addColumn<SimulatedQuillon::ReplyFault>("fault");
        QTest::addColumn<int>("abortAfter"); // progress ticks before the abort click; -1: none
        QTest::addColumn<ExchangeOutcome>("outcome");
        QTest::addColumn<QString>("log");
        QTest::addColumn<bool>("formatAfter");
        QTest::addColumn<int>("progressAfter");

        using F = SimulatedQuillon::ReplyFault;
        using O = ExchangeOutcome;
        const QString read = "Reading Setup (1", write = "Writing Setup (1",
                      format = "Formatting Flash (1";
        Row("read, no answer", "read", "COM3", F::NoReply, -1, O::Timeout,
            Log("COM3", read, "Timeout"), false, 0);
        Row("write answered", "write", "COM3", F::None, -1, O::Ok, Log("COM3", write, "OK"), true,
            0);
        Row("write, no answer", "write", "COM3", F::NoReply, -1, O::Timeout,
            Log("COM3", write, "Timeout"), false, 0);
        // The bar fills (3 steps here), then the reply timeout ends the format.
        Row("format, no answer", "format", "COM3", F::NoReply, -1, O::Timeout,
            Log("COM3", format, "Timeout"), true, 3);
        // The tick after the full bar arms the short timeout: the abort must end the format once.
        Row("format aborted after the full bar", "format", "COM3", F::NoReply, 4, O::Aborted,
            Log("COM3", format, "Aborted"), true, 3);
        Row("format, no port named", "format", "com3", F::None, -1, O::PortError,
            "OpenCom: com3\r\nPort error: no port named \"com3\" (COM1 to COM20)\r\n", true, 0);
    }

    // What the front end shows once an exchange has started, and once it has ended.
    void stateTransitions()
    {
        QFETCH(QString, command);
        QFETCH(QString, port);
        QFETCH(SimulatedQuillon::ReplyFault, fault);
        QFETCH(int, abortAfter);
        QFETCH(ExchangeOutcome, outcome);
        QFETCH(QString, log);
        QFETCH(bool, formatAfter);
        QFETCH(int, progressAfter);

        SimulatedQuillon device;
        device.setReplyFault(fault);
        PortMap map;
        map.setPort(3, {Path(device), {}, {}, {}, {}});
        Station station(map, port, kQuick);
        Fill(station.front, kExample);

        const ExchangeState running = command == "read"    ? ExchangeState::Reading
                                      : command == "write" ? ExchangeState::Writing
                                                           : ExchangeState::Formatting;
        if (running == ExchangeState::Reading) {
            station.commands.read_setup_Click();
        } else if (running == ExchangeState::Writing) {
            station.commands.write_setup_Click();
        } else {
            station.commands.button_format_flash_Click();
        }
        if (outcome != ExchangeOutcome::PortError) {
            const bool formatting = running == ExchangeState::Formatting;
            QCOMPARE(station.exchange.state(), running);
            QCOMPARE(station.front.logState, LogState::Running);
            const CommandControls &shown = station.front.controls;
            QVERIFY(shown.busy);
            QVERIFY(!shown.readEnabled && !shown.writeEnabled);
            QCOMPARE(shown.formatEnabled, formatting);
            QCOMPARE(shown.formatIsAbort, formatting);
        }
        if (abortAfter >= 0) {
            for (int tick = 0; tick < abortAfter; ++tick) {
                station.exchange.Timer3_Timer();
            }
            station.commands.button_format_flash_Click();
        }

        QTRY_COMPARE(station.ends.size(), 1);
        QCOMPARE(station.ends[0].exchange, running);
        QCOMPARE(station.ends[0].outcome, outcome);
        QCOMPARE(station.exchange.state(), ExchangeState::Idle);
        QCOMPARE(station.front.log, log);
        QCOMPARE(station.front.logState,
                 outcome == ExchangeOutcome::Ok ? LogState::Succeeded : LogState::Failed);
        const CommandControls &shown = station.front.controls;
        QVERIFY(!shown.busy && !shown.formatIsAbort);
        QVERIFY(shown.readEnabled && shown.writeEnabled);
        QCOMPARE(shown.formatEnabled, formatAfter);
        QCOMPARE(station.ends[0].port.isEmpty(), outcome != ExchangeOutcome::PortError);
        QCOMPARE(station.ends[0].settings.has_value(),
                 outcome == ExchangeOutcome::Ok && running == ExchangeState::Reading);
        // A second end would follow within the 10 ms full-bar timeout, a running bar within a tick.
        QTest::qWait(50);
        QCOMPARE(station.ends.size(), 1);
        QCOMPARE(station.front.progress, progressAfter);
    }

    // The serial control passes every byte value both ways. Then, with the port closed as between
    // two exchanges, the device must not spin on the hang-up (the demo runs it next to the window),
    // and must answer after the next open.
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
        comm.Output(kFormat);
        QTRY_COMPARE(received, kFormat);
    }

    // A front end may start the next exchange from the end of the last one, inside the delivery
    // that ended it; the rest of that delivery, here a second copy of the reply, belongs to
    // neither.
    void nothingParsedAfterOutcome()
    {
        SimulatedQuillon device;
        device.setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
        PortMap map;
        map.setPort(3, {Path(device), {}, {}, {}, {}});
        Station station(map, "COM3");
        QObject::connect(&station.exchange, &Exchange::ended, [&station] {
            if (station.ends.size() == 1) {
                station.commands.read_setup_Click();
            }
        });
        station.commands.read_setup_Click();
        const QByteArray reply = ToBytes(BuildFrame(kReadLetter, SetupRecord(kExample)));
        station.exchange.MSComm1_OnComm(CommEvent::Receive, reply + reply);
        QCOMPARE(station.ends.size(), 1);
        QCOMPARE(station.exchange.state(), ExchangeState::Reading);
        QCOMPARE(station.exchange.exchange_no(), 2);
        QCOMPARE(station.front.log, QStringLiteral("OpenCom: COM3\r\nReading Setup (2): -> "));
    }
};

QTEST_GUILESS_MAIN(tst_Engine)
#include "tst_engine.moc"
