// quillonctl against a simulated Quillon on a pseudo-terminal: the installed program run as a
// child process, and in-process where a test needs shorter time limits or its own port map.
#include "ctlharness.h"
#include "protocol/setupframe.h"
#include "settings/settingsforms.h"

#include <QSerialPort>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace quillon;
using namespace quillon::test;
using namespace std::chrono_literals;
using Fault = SimulatedQuillon::ReplyFault;

namespace {

// The example's settings as read prints them.
const QStringList kExampleTexts{"12345678",      "00:1A:2B:3C:4D:5E", "192.168.0.100",
                                "255.255.255.0", "192.168.0.1",       "192.168.0.1",
                                "0.0.0.0"};

QStringList JsonTexts(const QJsonObject &object)
{
    QStringList texts;
    for (const Setting setting : kAllSettings) {
        const QJsonValue value = object[SettingKey(setting)];
        texts << (value.isDouble() ? QString::number(value.toInteger()) : value.toString());
    }
    return texts;
}

} // namespace

class tst_ctldevice : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir_;
    std::unique_ptr<SimulatedQuillon> sim_;

    QString device() const { return QString::fromStdString(sim_->devicePath()); }
    QByteArray wire() const { return ToBytes(sim_->received()); }
    // What the device now holds.
    QStringList held() const
    {
        QStringList texts;
        for (const Setting setting : kAllSettings) {
            texts << ValueText(sim_->settings(), setting);
        }
        return texts;
    }

    DeviceSettings setSerial(quint32 serial)
    {
        DeviceSettings settings = kExample;
        settings.serialNumber = serial;
        sim_->setSettings(settings);
        return settings;
    }

    // "@" in an argument stands for the device, "%" for the temporary directory.
    QStringList expand(QStringList arguments) const
    {
        for (QString &argument : arguments) {
            argument.replace('@', device()).replace('%', dir_.path());
        }
        return arguments;
    }

    Run ctl(const QStringList &arguments) const { return RunChild(expand(arguments)); }

    // In this process, with a port map of its own so that no real COM port is in the way.
    Run inProcess(const QStringList &arguments, CtlOptions options = {}) const
    {
        if (!options.portMap) {
            options.portMap = PortMap();
        }
        return RunCtl(expand(arguments), options);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(WriteFile(dir_.filePath("partial.json"),
                          R"({"ip": "10.1.1.1", "gateway": "10.1.1.254", "serial": 5})"));
    }
    void init()
    {
        sim_ = std::make_unique<SimulatedQuillon>();
        sim_->setSettings(kExample);
    }
    void cleanup() { sim_.reset(); }

    // A read as text and as JSON, and a format the device answers.
    void answered_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<quint32>("serial");
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QByteArray>("sent");
        Row("read", QStringList{"read", "@"}, 12345678u,
            "Serial No.: 12345678\nMAC Adr.: 00:1A:2B:3C:4D:5E\nIP Address: 192.168.0.100\n"
            "Subnet mask: 255.255.255.0\nDefault Gateway: 192.168.0.1\n"
            "Primary DNS Server: 192.168.0.1\nSecondary DNS Server: 0.0.0.0\n",
            kRead);
        // A serial number above what a write may carry.
        Row("read --json", QStringList{"read", "@", "--json"}, 4294967295u,
            "{\"serial\": 4294967295, \"mac\": \"00:1A:2B:3C:4D:5E\", \"ip\": \"192.168.0.100\", "
            "\"mask\": \"255.255.255.0\", \"gateway\": \"192.168.0.1\", \"dns1\": "
            "\"192.168.0.1\", \"dns2\": \"0.0.0.0\"}\n",
            kRead);
        Row("format", QStringList{"format", "@", "--yes"}, 12345678u, "@: flash formatted\n",
            kFormat);
    }
    void answered()
    {
        QFETCH(QStringList, arguments);
        QFETCH(quint32, serial);
        QFETCH(QString, printed);
        QFETCH(QByteArray, sent);
        setSerial(serial);
        const Run result = ctl(arguments);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.status, 0);
        QCOMPARE(result.out, expand({printed}).front());
        QCOMPARE(wire(), sent);
    }

    // Each write reads, sends the frame of the resulting settings, and reads back; --json
    // reports the device before and after.
    void write_data()
    {
        QTest::addColumn<quint32>("deviceSerial");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *name, QStringList options, int index, QString value,
                            quint32 serial = 12345678) {
            QStringList expected = kExampleTexts;
            expected[index] = value;
            QTest::newRow(name) << serial << options << expected;
        };
        row("serial, largest", {"--serial", "2147483647"}, 0, "2147483647");
        row("serial over a device's above the largest", {"--serial", "5"}, 0, "5", 3000000000u);
        row("the same value", {"--ip", "192.168.0.100"}, 2, "192.168.0.100");
        const auto words = [](const char *text) {
            return QString(text).split(' ');
        };
        QTest::newRow("all together")
            << 12345678u
            << words("--serial 2 --mac FE:EE:DD:03:02:01 --ip 10.0.0.2 --mask 255.0.0.0 "
                     "--gateway 10.0.0.1 --dns1 8.8.8.8 --dns2 8.8.4.4")
            << words("2 FE:EE:DD:03:02:01 10.0.0.2 255.0.0.0 10.0.0.1 8.8.8.8 8.8.4.4");
        // device <- --from file <- --defaults <- single options; the file's serial number
        // with --identity, and defaults keep the MAC.
        QTest::newRow("file with its identity, defaults and an option")
            << 12345678u << words("--dns1 10.10.10.1 --defaults --from %/partial.json --identity")
            << words("5 00:1A:2B:3C:4D:5E 10.10.10.11 255.255.255.0 0.0.0.0 10.10.10.1 0.0.0.0");
    }
    void write()
    {
        QFETCH(quint32, deviceSerial);
        QFETCH(QStringList, options);
        QFETCH(QStringList, expected);
        setSerial(deviceSerial);
        const Run result = ctl(QStringList{"write", "@", "--json"} + options);
        QCOMPARE(result.err, QString());
        QCOMPARE(result.status, 0);
        QCOMPARE(held(), expected);
        QCOMPARE(wire(), kRead + ToBytes(BuildSetupFrame(sim_->settings())) + kRead);
        const QJsonObject report = QJsonDocument::fromJson(result.out.toUtf8()).object();
        QStringList before = kExampleTexts;
        before[0] = QString::number(deviceSerial);
        QCOMPARE(JsonTexts(report["before"].toObject()), before);
        QCOMPARE(JsonTexts(report["after"].toObject()), expected);
    }

    // Without --json, one line per setting that changed. A device that acknowledges a write
    // and stores something else: what it now holds, then what differs from what was written.
    void writeReportsChanges()
    {
        const Run changed = ctl({"write", "@", "--ip", "192.168.0.2", "--dns2", "8.8.8.8"});
        QCOMPARE(changed.status, 0);
        QCOMPARE(changed.out, "IP Address: 192.168.0.100 -> 192.168.0.2\n"
                              "Secondary DNS Server: 0.0.0.0 -> 8.8.8.8\n");
        const Run same = ctl({"write", "@", "--ip", "192.168.0.2"});
        QCOMPARE(same.status, 0);
        QCOMPARE(same.out, "No setting changed.\n");
        sim_->setReplyFault(Fault::AltersWrites);
        const Run altered = ctl({"write", "@", "--ip", "192.168.0.5"});
        QCOMPARE(altered.status, 1);
        QCOMPARE(altered.out, "IP Address: 192.168.0.2 -> 192.168.0.6\n");
        QCOMPARE(altered.err, "quillonctl: write: the device reads back other settings than were "
                              "written: IP Address 192.168.0.5 written, 192.168.0.6 read back\n");
    }

    // A file that read --json made puts a device's addresses back, options overriding it; its
    // serial number and MAC stay the device's, so that one unit's file never clones it.
    void writeFromReadJson()
    {
        const Run saved = ctl({"read", "@", "--json"});
        QCOMPARE(saved.status, 0);
        QVERIFY(WriteFile(dir_.filePath("device.json"), saved.out.toUtf8()));

        sim_->setSettings(DeviceSettings{});
        sim_->clearReceived();
        const Run restored = ctl({"write", "@", "--from", "%/device.json", "--dns2", "9.9.9.9"});
        QCOMPARE(restored.status, 0);
        QVERIFY2(restored.err.contains("serial number 0 and MAC 00:00:00:00:00:00 kept"),
                 qPrintable(restored.err));
        QStringList expected = kExampleTexts;
        expected[0] = "0";
        expected[1] = "00:00:00:00:00:00";
        expected[6] = "9.9.9.9";
        QCOMPARE(held(), expected);
        QCOMPARE(wire(), kRead + ToBytes(BuildSetupFrame(sim_->settings())) + kRead);
    }

    // One line on standard error, the status that tells a refusal (2) from a device fault (1)
    // and a port fault (3), and on the wire only what the command needed to learn its fault.
    void errors_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("named");
        QTest::addColumn<QByteArray>("sent");
        // -1: this process holds the port, -2: another process holds it with flock, -3: this
        // process holds the device itself and quillonctl is given a link to it.
        QTest::addColumn<int>("fault");
        QTest::addColumn<quint32>("deviceSerial");
        const auto row = [](const char *name, QStringList arguments, int status, QString named,
                            QByteArray sent = {}, int fault = 0, quint32 serial = 12345678) {
            QTest::newRow(name) << arguments << status << named << sent << fault << serial;
        };
        row("device serial too large", {"write", "@", "--ip", "10.0.0.2"}, 2,
            "serial number 2147483648 is above 2147483647", kRead, 0, 2147483648u);
        // The one real wait for the 2-second reply timeout.
        row("no reply", {"read", "@"}, 1, "read: Timeout: no complete reply from @ within 2 s",
            kRead, int(Fault::NoReply));
        row("checksum error, read", {"read", "@", "--json"}, 1,
            "read: Checksum error in the reply from @", kRead, int(Fault::WrongChecksum));
        row("checksum error, format", {"format", "@", "--yes"}, 1, "format: Checksum error",
            kFormat, int(Fault::WrongChecksum));
        // Settings a unit cannot use are refused once the device's own values are known.
        row("ip the broadcast address", {"write", "@", "--ip", "192.168.0.255"}, 2,
            "write: ip 192.168.0.255 is the broadcast address of its subnet; nothing written",
            kRead);
        row("mac multicast", {"write", "@", "--mac", "01:00:5E:00:00:01"}, 2, "mac 01:00:5E",
            kRead);
        row("mac all zero", {"write", "@", "--mac", "00-00-00-00-00-00"}, 2, "all zero", kRead);
        row("mask not contiguous", {"write", "@", "--mask", "255.0.255.0"}, 2,
            "mask 255.0.255.0 is not contiguous", kRead);
        row("kept gateway outside the new subnet", {"write", "@", "--ip", "10.0.0.5"}, 2,
            "gateway 192.168.0.1 is no other host of the subnet of 10.0.0.5/255.255.255.0", kRead);
        row("port in use", {"write", "@", "--ip", "1.2.3.4"}, 3,
            "quillonctl: Port error: @ is in use by tst_ctldevice (process", {}, -1);
        row("port locked by another program", {"read", "@"}, 3,
            "quillonctl: Port error: @ is in use by flock (process", {}, -2);
        row("device in use through a link", {"read", "%/link"}, 3,
            "quillonctl: Port error: %/link is in use by tst_ctldevice (process", {}, -3);
    }
    void errors()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, named);
        QFETCH(QByteArray, sent);
        QFETCH(int, fault);
        QFETCH(quint32, deviceSerial);
        const DeviceSettings held = setSerial(deviceSerial);
        QSerialPort other(device());
        QProcess locker;
        locker.setProcessChannelMode(QProcess::MergedChannels);
        QFile::remove(dir_.filePath("link"));
        QVERIFY(QFile::link(device(), dir_.filePath("link")));
        if (fault == -2) {
            // The shell speaks only once flock(1) holds the lock.
            locker.start("flock", {device(), "-c", "echo locked; exec sleep 60"});
            QVERIFY2(locker.waitForReadyRead(10000), qPrintable(locker.errorString()));
        } else if (fault < 0) {
            QVERIFY(other.open(QIODevice::ReadWrite));
        } else {
            sim_->setReplyFault(Fault(fault));
        }
        const Run result = ctl(arguments);
        QCOMPARE(result.status, status);
        QCOMPARE(result.out, QString());
        QCOMPARE(result.err.count('\n'), 1);
        QVERIFY2(result.err.contains(expand({named}).front()), qPrintable(result.err));
        QCOMPARE(wire(), sent);
        QCOMPARE(sim_->settings(), held);
        locker.kill();
        locker.waitForFinished();
    }

    // The full bar, one tick more, then 10 ms; shortened here to 10 ms ticks and five steps.
    void formatTimesOut()
    {
        sim_->setReplyFault(Fault::NoReply);
        CtlOptions options;
        options.timing.progressTickMs = 10;
        options.timing.progressSteps = 5;
        const Run result = inProcess({"format", "@", "--yes"}, options);
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err, "quillonctl: format: Timeout: no complete reply from " + device() +
                                 " within 70 ms\n");
        QCOMPARE(wire(), kFormat);
    }

    // Ctrl+C while the device works: the request went out, nothing follows it, status 130.
    void interrupt_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QString>("named");
        QTest::addColumn<int>("fault");
        const QStringList write{"write", "@", "--ip", "192.168.0.7"};
        DeviceSettings written = kExample;
        written.ipAddress = {192, 168, 0, 7};
        Row("format", QStringList{"format", "@", "--yes"}, kFormat,
            "format: aborted; @ may still be formatting its flash", int(Fault::NoReply));
        Row("write, during its first read", write, kRead, "write: reading the device: interrupted",
            int(Fault::NoReply));
        Row("write, after its frame went out", write, kRead + ToBytes(BuildSetupFrame(written)),
            "write: interrupted after the settings were sent to @; read it to see what it holds",
            int(Fault::IgnoreWrites));
    }
    void interrupt()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, request);
        QFETCH(QString, named);
        QFETCH(int, fault);
        sim_->setReplyFault(Fault(fault));
        QProcess process;
        Start(process, expand(arguments));
        QVERIFY(sim_->waitForReceived(static_cast<std::size_t>(request.size()), 10s));
        ::kill(static_cast<pid_t>(process.processId()), SIGINT);
        const Run result = Finish(process);
        QCOMPARE(result.status, 130);
        QCOMPARE(result.err, "quillonctl: " + expand({named}).front() + "\n");
        QCOMPARE(wire(), request);
        // The port is closed: another program can open it at once.
        QSerialPort next(device());
        QVERIFY(next.open(QIODevice::ReadWrite));
    }

    // A read answered by a good frame that carries no settings.
    void replyWithoutSettings()
    {
        sim_->setReplyFault(Fault::NoReply);
        QProcess process;
        Start(process, expand({"read", "@"}));
        QVERIFY(sim_->waitForReceived(static_cast<std::size_t>(kRead.size()), 10s));
        sim_->sendRaw(BuildFrame(kWriteLetter)); // a write's acknowledgement
        const Run result = Finish(process);
        QCOMPARE(result.status, 1);
        QCOMPARE(result.err,
                 expand({"quillonctl: read: the reply from @ carried no settings\n"}).front());
    }

    // COM numbers through a port map: the window's names in the port error and the listing.
    void comNumbers()
    {
        CtlOptions options;
        options.portMap = PortMap();
        options.portMap->setPort(1, HostPort{device(), "simulated Quillon", "Maker", 0x403, 0x6001,
                                             "A5", dir_.filePath("by-id")});
        options.portMap->setPort(2, HostPort{dir_.filePath("gone"), {}, {}, {}, {}});
        const Run read = inProcess({"read", "COM1", "--json"}, options);
        QCOMPARE(read.status, 0);
        QVERIFY(read.out.startsWith("{\"serial\": 12345678,"));
        const Run missing = inProcess({"read", "COM2"}, options);
        QCOMPARE(missing.status, 3);
        QCOMPARE(missing.err,
                 expand({"quillonctl: Port error: COM2 (%/gone) does not exist\n"}).front());

        const Run text = inProcess({"ports"}, options);
        QCOMPARE(text.status, 0);
        QCOMPARE(text.out.simplified(),
                 expand({"COM1 @ opens simulated Quillon %/by-id USB 0403:6001 Maker serial "
                         "number A5 COM2 %/gone does not exist"})
                     .front());
        const Run json = inProcess({"ports", "--json"}, options);
        QCOMPARE(json.status, 0);
        QCOMPARE(
            json.out.trimmed(),
            expand(
                {R"([{"by_id":"%/by-id","description":"simulated Quillon",)"
                 R"("device":"@","manufacturer":"Maker","opens":true,"port":"COM1",)"
                 R"("serial_number":"A5","usb":"0403:6001"},{"description":"","device":"%/gone","opens":false,)"
                 R"("port":"COM2","reason":"Port error: COM2 (%/gone) does not exist"}])"})
                .front());
    }

    // Two units among a port where nothing answers and one that does not open, all read at
    // once: only the two are listed, the missing port is named, and the silent one holds up
    // nothing beyond its one time-out.
    void probeFindsUnits()
    {
        Devices units = MakeDevices(2);
        units[1]->setSettings(kExample);
        sim_->setReplyFault(Fault::NoReply);
        CtlOptions options;
        options.timing.replyTimeoutMs = 500;
        const QStringList ports{"@", Paths(units)[0], "%/gone", Paths(units)[1]};
        const Run text = inProcess(QStringList{"ports", "--probe"} + ports, options);
        QCOMPARE(text.status, 0);
        QCOMPARE(text.out, Paths(units)[0] + ": serial 0, MAC 02:5C:E1:C0:00:00\n" +
                               Paths(units)[1] + ": serial 12345678, MAC 00:1A:2B:3C:4D:5E\n");
        QCOMPARE(text.err, expand({"quillonctl: Port error: %/gone does not exist\n"}).front());
        const Run json = inProcess(QStringList{"ports", "--probe", "--json"} + ports, options);
        QCOMPARE(QJsonDocument::fromJson(json.out.toUtf8()).array()[1].toObject()["serial"],
                 12345678);
        const Run none = inProcess({"ports", "--probe", "@"}, options);
        QCOMPARE(none.status, 1);
        QVERIFY2(none.err.contains("no Quillon answered"), qPrintable(none.err));
    }
};

QTEST_GUILESS_MAIN(tst_ctldevice)
#include "tst_ctldevice.moc"
