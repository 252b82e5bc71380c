// quillonctl provision end to end: simulated devices, each on its own pseudo-terminal opened
// through the real serial layer, a real SQLite ledger, and real child processes where a run is
// killed, interrupted or shares its ledger with another.
#include "cli/ledger.h"
#include "cli/quillonctl.h"
#include "sim/simulatedquillon.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <memory>
#include <vector>

using namespace quillon;

namespace {

const QByteArray kPlan =
    R"({"serial": {"first": 1000, "last": 1999}, "mac": {"first": "02:5C:E1:C0:10:00", )"
    R"("last": "02:5C:E1:C0:13:E7"}, "ip": "10.10.10.11", "mask": "255.255.255.0", )"
    R"("gateway": "10.10.10.1", "dns1": "10.10.10.1", "dns2": "0.0.0.0"})";

const Bytes kReadRequest{0x02, 0x52, 0x00, 0x52, 0x03};

using Devices = std::vector<std::unique_ptr<SimulatedQuillon>>;
using Fault = SimulatedQuillon::ReplyFault;

// A device as it leaves the factory.
DeviceSettings Factory()
{
    DeviceSettings settings;
    settings.mac = {0x02, 0x5C, 0xE1, 0xC0, 0x00, 0x00};
    settings.ipAddress = {10, 10, 10, 11};
    settings.subnetMask = {255, 255, 255, 0};
    return settings;
}

Devices MakeDevices(int count)
{
    Devices devices;
    for (int i = 0; i < count; ++i) {
        devices.push_back(std::make_unique<SimulatedQuillon>());
        devices.back()->setSettings(Factory());
    }
    return devices;
}

QStringList Paths(const Devices &devices)
{
    QStringList paths;
    for (const auto &device : devices) {
        paths << QString::fromStdString(device->devicePath());
    }
    return paths;
}

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

} // namespace

class tst_provision : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString ledger_;
    QString plan_;

    // The standard plan with some fields replaced, each given as JSON text.
    QString writePlan(const QMap<QString, QByteArray> &changes)
    {
        QJsonObject plan = QJsonDocument::fromJson(kPlan).object();
        for (auto it = changes.begin(); it != changes.end(); ++it) {
            plan.insert(it.key(), QJsonDocument::fromJson("[" + it.value() + "]")[0]);
        }
        const QString path = dir_->filePath(QStringLiteral("changed-plan.json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(QJsonDocument(plan).toJson()) < 0) {
            qFatal("cannot write %s", qPrintable(path));
        }
        return path;
    }

    Run provision(const QStringList &ports, const QStringList &extra = {},
                  int replyTimeoutMs = 2000, const QString &plan = {})
    {
        Run result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        CtlOptions options;
        options.timing.replyTimeoutMs = replyTimeoutMs;
        result.status =
            RunQuillonCtl(QStringList{"quillonctl", "provision", "--plan",
                                      plan.isEmpty() ? plan_ : plan, "--ledger", ledger_} +
                              extra + ports,
                          options, out, err);
        return result;
    }

    QStringList clientArguments(const QStringList &options, const QStringList &ports) const
    {
        return options + QStringList{"provision", "--plan", plan_, "--ledger", ledger_} + ports;
    }

    QList<Ledger::Row> rows()
    {
        QString error;
        const std::unique_ptr<Ledger> ledger = Ledger::openExisting(ledger_, &error);
        if (!ledger) {
            qWarning("%s", qPrintable(error));
            return {};
        }
        return ledger->rows(&error).value_or(QList<Ledger::Row>{});
    }

    // Every device holds the numbers of a verified row of its port, with the plan's settings.
    void verifyDevicesHoldTheirRows(const Devices &devices)
    {
        const QList<Ledger::Row> all = rows();
        for (const auto &device : devices) {
            const DeviceSettings held = device->settings();
            const QString path = QString::fromStdString(device->devicePath());
            const auto row = std::find_if(all.begin(), all.end(), [&](const Ledger::Row &r) {
                return r.port == path && r.state == Ledger::State::verified &&
                       qint64(r.serial) == held.serialNumber && r.mac == held.mac;
            });
            QVERIFY2(row != all.end(), qPrintable(path));
            QCOMPARE(held.ipAddress, (Address{10, 10, 10, 11}));
            QCOMPARE(held.defaultGateway, (Address{10, 10, 10, 1}));
            QCOMPARE(held.primaryDns, (Address{10, 10, 10, 1}));
        }
    }

    static void verifyAllDistinct(const QList<Ledger::Row> &rows)
    {
        QSet<quint32> serials;
        QSet<QString> macs;
        for (const Ledger::Row &row : rows) {
            serials << row.serial;
            macs << MacText(row.mac);
        }
        QCOMPARE(serials.size(), rows.size());
        QCOMPARE(macs.size(), rows.size());
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        ledger_ = dir_->filePath(QStringLiteral("ledger.sqlite"));
        plan_ = dir_->filePath(QStringLiteral("plan.json"));
        QFile plan(plan_);
        QVERIFY(plan.open(QIODevice::WriteOnly));
        plan.write(kPlan);
    }

    void provisionsEachDeviceOnce()
    {
        const Devices devices = MakeDevices(4);
        const Run first = provision(Paths(devices));
        QCOMPARE(first.status, 0);
        QVERIFY2(first.err.isEmpty(), qPrintable(first.err));
        QCOMPARE(first.out.count(": verified: serial 0 -> 100"), 4);
        QVERIFY2(first.out.endsWith(
                     "summary: 4 verified, 0 already provisioned, 0 failed, 0 ports stopped\n"),
                 qPrintable(first.out));
        const QList<Ledger::Row> numbered = rows();
        QCOMPARE(numbered.size(), 4);
        verifyAllDistinct(numbered);
        for (const Ledger::Row &row : numbered) {
            QVERIFY(row.serial >= 1000 && row.serial <= 1003);
            QCOMPARE(MacNumber(row.mac) - row.serial,
                     MacNumber({2, 0x5C, 0xE1, 0xC0, 0x10, 0}) - 1000);
            QCOMPARE(row.previousSerial, 0u);
            QCOMPARE(MacText(row.previousMac), QStringLiteral("02:5C:E1:C0:00:00"));
        }
        verifyDevicesHoldTheirRows(devices);

        for (const auto &device : devices) {
            device->clearReceived();
        }
        const Run second = provision(Paths(devices), {"--json"});
        QCOMPARE(second.status, 0);
        const QStringList lines = second.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 5);
        for (const QString &line : lines.first(4)) {
            const QJsonObject device = QJsonDocument::fromJson(line.toUtf8()).object();
            QCOMPARE(device["outcome"].toString(), QStringLiteral("already provisioned"));
            QCOMPARE(device["old"]["serial"], device["new"]["serial"]);
            QVERIFY(Paths(devices).contains(device["port"].toString()));
        }
        const QJsonObject summary = QJsonDocument::fromJson(lines.last().toUtf8()).object();
        QCOMPARE(summary["summary"]["already_provisioned"].toInt(), 4);
        QCOMPARE(summary["summary"]["verified"].toInt(), 0);
        // Only read: nothing written, nothing allocated.
        for (const auto &device : devices) {
            QCOMPARE(device->received(), kReadRequest);
        }
        QCOMPARE(rows().size(), 4);
    }

    // A port without a usable device stops with one line; the other ports still finish.
    void portsThatStop_data()
    {
        QTest::addColumn<int>("fault"); // -1: no device at all behind the path
        QTest::addColumn<QString>("reason");
        QTest::newRow("no reply") << int(Fault::NoReply) << "read: Timeout";
        QTest::newRow("checksum error") << int(Fault::WrongChecksum) << "read: Checksum error";
        QTest::newRow("no such device") << -1 << "does not exist";
    }
    void portsThatStop()
    {
        QFETCH(int, fault);
        QFETCH(QString, reason);
        const Devices devices = MakeDevices(2);
        QString bad = Paths(devices)[1];
        if (fault < 0) {
            bad = dir_->filePath("ttyNone");
        } else {
            devices[1]->setReplyFault(Fault(fault));
        }
        const Run run = provision({Paths(devices)[0], bad}, {}, 500);
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out.count(": verified: "), 1);
        QVERIFY(run.out.endsWith("1 verified, 0 already provisioned, 0 failed, 1 port stopped\n"));
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.startsWith("quillonctl: provision: " + bad + ": "), qPrintable(run.err));
        QVERIFY2(run.err.contains(reason), qPrintable(run.err));
        QCOMPARE(rows().size(), 1);
    }

    // A device that takes no write fails, keeps its old numbers, and next time gets new ones.
    void failedDeviceGetsFreshNumbers()
    {
        const Devices devices = MakeDevices(3);
        const QString faulty = Paths(devices)[1];
        devices[1]->setReplyFault(Fault::IgnoreWrites);
        const Run first = provision(Paths(devices), {}, 500);
        QCOMPARE(first.status, 1);
        QVERIFY2(first.out.contains(faulty + ": failed: serial 0 -> "), qPrintable(first.out));
        QVERIFY(first.out.contains("(write: Timeout)"));
        QVERIFY(
            first.out.endsWith("2 verified, 0 already provisioned, 1 failed, 0 ports stopped\n"));
        QCOMPARE(devices[1]->settings(), Factory());
        const QList<Ledger::Row> before = rows();
        QCOMPARE(before.size(), 3);
        const auto failed = std::find_if(before.begin(), before.end(), [](const Ledger::Row &r) {
            return r.state == Ledger::State::failed;
        });
        QVERIFY(failed != before.end());
        QCOMPARE(failed->port, faulty);
        QCOMPARE(failed->reason, QStringLiteral("write: Timeout"));

        devices[1]->setReplyFault(Fault::None);
        const Run second = provision(Paths(devices));
        QCOMPARE(second.status, 0);
        QVERIFY2(second.out.contains(faulty + ": verified: serial 0 -> 1003, MAC "
                                              "02:5C:E1:C0:00:00 -> 02:5C:E1:C0:10:03"),
                 qPrintable(second.out));
        QCOMPARE(second.out.count("already provisioned: "), 2);
        const QList<Ledger::Row> after = rows();
        QCOMPARE(after.size(), 4);
        QCOMPARE(after[failed - before.begin()].state, Ledger::State::failed);
        verifyAllDistinct(after);
        verifyDevicesHoldTheirRows(devices);
    }

    // When a range runs out, the ports still waiting for a number stop; the rest finish.
    void rangeRunsOut_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<QString>("named");
        QTest::newRow("serial numbers")
            << "serial" << QByteArray(R"({"first": 1000, "last": 1001})")
            << "the serial numbers 1000 to 1001";
        QTest::newRow("MACs") << "mac"
                              << QByteArray(R"({"first": "02:5C:E1:C0:10:00", )"
                                            R"("last": "02:5C:E1:C0:10:01"})")
                              << "the MACs 02:5C:E1:C0:10:00 to 02:5C:E1:C0:10:01";
        QTest::newRow("IP addresses")
            << "ip" << QByteArray(R"({"first": "10.10.10.11", "last": "10.10.10.12"})")
            << "the IP addresses 10.10.10.11 to 10.10.10.12";
    }
    void rangeRunsOut()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, range);
        QFETCH(QString, named);
        const Devices devices = MakeDevices(3);
        const Run run = provision(Paths(devices), {}, 2000, writePlan({{field, range}}));
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out.count(": verified: "), 2);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains(named + " of the ledger"), qPrintable(run.err));
        QVERIFY(run.err.contains("are all used"));
        int untouched = 0;
        for (const auto &device : devices) {
            if (device->settings() == Factory()) {
                ++untouched;
                QCOMPARE(device->received(), kReadRequest);
            }
        }
        QCOMPARE(untouched, 1);
        QCOMPARE(rows().size(), 2);
    }

    // A run killed after committing a number and before writing it: the number stays taken.
    void killedBetweenAllocationAndWrite()
    {
        const Devices devices = MakeDevices(1);
        QProcess child;
        child.start(PROVISION_CLIENT, clientArguments({"--pause"}, Paths(devices)));
        QVERIFY(child.waitForStarted());
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT((err += child.readAllStandardError()).contains("paused"), 20000);
        child.kill();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);
        QCOMPARE(devices[0]->received(), kReadRequest);
        QCOMPARE(rows().size(), 1);
        QCOMPARE(rows()[0].state, Ledger::State::allocated);

        const Run next = provision(Paths(devices));
        QCOMPARE(next.status, 0);
        QVERIFY2(next.out.contains(": verified: serial 0 -> 1001, "), qPrintable(next.out));
        const QList<Ledger::Row> after = rows();
        QCOMPARE(after.size(), 2);
        QCOMPARE(after[0].serial, 1000u);
        QCOMPARE(after[0].state, Ledger::State::allocated);
        verifyAllDistinct(after);
        verifyDevicesHoldTheirRows(devices);
    }

    void twoProcessesShareOneLedger()
    {
        const Devices devices = MakeDevices(8);
        const QStringList paths = Paths(devices);
        QProcess first;
        QProcess second;
        first.start(PROVISION_CLIENT, clientArguments({}, paths.mid(0, 4)));
        second.start(PROVISION_CLIENT, clientArguments({}, paths.mid(4)));
        QVERIFY(first.waitForFinished(60000));
        QVERIFY(second.waitForFinished(60000));
        QCOMPARE(first.exitCode(), 0);
        QCOMPARE(second.exitCode(), 0);
        const QList<Ledger::Row> numbered = rows();
        QCOMPARE(numbered.size(), 8);
        verifyAllDistinct(numbered);
        verifyDevicesHoldTheirRows(devices);
    }

    // --watch provisions the device that replaces the first behind the same link, leaves a
    // provisioned one alone, and ends on Ctrl+C with status 130 and a summary.
    void watchProvisionsReplacedDevice()
    {
        Devices devices = MakeDevices(2);
        const QString link = dir_->filePath("ttyLine1");
        QVERIFY(QFile::link(Paths(devices)[0], link));
        QProcess child;
        child.start(PROVISION_CLIENT,
                    clientArguments({"--watch-interval", "100"}, {"--watch", "--json", link}));
        QVERIFY(child.waitForStarted());
        QString out;
        const auto verified = [&] {
            out += child.readAllStandardOutput();
            return out.count("\"outcome\":\"verified\"");
        };
        QTRY_COMPARE_WITH_TIMEOUT(verified(), 1, 20000);
        // Polled again and again, the provisioned device is not taken for a new one.
        QTRY_VERIFY_WITH_TIMEOUT(devices[0]->requestsHandled() >= 5, 20000);
        QCOMPARE(verified(), 1);

        // A new device behind the link, swapped in at once as udev does it.
        const QString next = dir_->filePath("ttyNext");
        QVERIFY(QFile::link(Paths(devices)[1], next));
        QCOMPARE(std::rename(qPrintable(next), qPrintable(link)), 0);
        devices[0]->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(verified(), 2, 20000);
        QCOMPARE(devices[1]->settings().serialNumber, 1001);

        QCOMPARE(::kill(child.processId(), SIGINT), 0);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 130);
        out += child.readAllStandardOutput();
        const QStringList lines = out.trimmed().split('\n');
        const QJsonObject summary = QJsonDocument::fromJson(lines.last().toUtf8()).object();
        QCOMPARE(summary["summary"]["verified"].toInt(), 2);
        QCOMPARE(summary["summary"]["interrupted"].toBool(), true);
        const QJsonObject first = QJsonDocument::fromJson(lines.first().toUtf8()).object();
        QCOMPARE(first["port"].toString(), link);
        QCOMPARE(first["new"]["serial"].toInt(), 1000);
        QCOMPARE(first["new"]["mac"].toString(), QStringLiteral("02:5C:E1:C0:10:00"));
        QCOMPARE(rows().size(), 2);
    }
};

QTEST_GUILESS_MAIN(tst_provision)
#include "tst_provision.moc"
