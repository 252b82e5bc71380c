// quillonctl provision end to end: simulated devices, each on its own pseudo-terminal opened
// through the real serial layer, a real SQLite ledger, and real child processes where a run is
// killed, interrupted or shares its ledger with another.
#include "ctlharness.h"
#include "ledger/ledger.h"
#include "postgresserver.h"

#include <QElapsedTimer>
#include <QMap>
#include <QRegularExpression>
#include <QSerialPort>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <cstdio>

using namespace quillon;
using namespace quillon::test;
using namespace Qt::StringLiterals;
using Fault = SimulatedQuillon::ReplyFault;

class tst_provision : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString ledger_; // a file, or a PostgreSQL URL
    QString plan_;

    QStringList arguments(const QStringList &ports, const QStringList &extra = {}) const
    {
        return QStringList{"provision", "--plan", plan_, "--ledger", ledger_} + extra + ports;
    }

    Run provision(const QStringList &ports, const QStringList &extra = {},
                  int replyTimeoutMs = 2000) const
    {
        CtlOptions options;
        options.timing.replyTimeoutMs = replyTimeoutMs;
        return RunCtl(arguments(ports, extra), options);
    }

    // `count` stations of four devices each on the ledger, all at once; the first is killed
    // with numbers committed and not yet written, and run again naming its ledger by
    // QUILLON_LEDGER. Each ends with status 0; the killed run's number stays taken.
    void stationsWithOneKilled(const QStringList &paths, int count)
    {
        std::vector<std::unique_ptr<QProcess>> stations;
        for (int i = 0; i < count; ++i) {
            stations.push_back(std::make_unique<QProcess>());
            const QStringList pause = i == 0 ? QStringList{"--pause"} : QStringList{};
            Start(*stations.back(), pause + arguments(paths.mid(4 * i, 4)), PROVISION_CLIENT);
        }
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT((err += stations[0]->readAllStandardError()).contains("paused"),
                                 20000);
        const QString paused = err.section("paused ", 1).section('\n', 0, 0);
        const bool file = !ledger_.startsWith("postgresql:");
        // A backup taken now holds the allocation, which may so far be in the log alone.
        const QString backup = dir_->filePath("backup.sqlite");
        QVERIFY(!file || RunCtl({"ledger", "backup", backup, "--ledger", ledger_}).status == 0);
        stations[0]->kill();
        QCOMPARE(Finish(*stations[0]).status, -2);
        QVERIFY(!file || RunCtl({"ledger", "--csv", "--ledger", backup})
                             .out.contains(',' + paused + ",allocated,"));
        qputenv("QUILLON_LEDGER", ledger_.toUtf8());
        Start(*stations[0], QStringList{"provision", "--plan", plan_} + paths.mid(0, 4),
              PROVISION_CLIENT);
        qunsetenv("QUILLON_LEDGER");
        for (const auto &station : stations) {
            const Run run = Finish(*station);
            QVERIFY2(run.status == 0, qPrintable(run.err + run.out));
        }
        const QList<Ledger::Row> all = rows();
        QVERIFY(std::any_of(all.begin(), all.end(), [&](const Ledger::Row &row) {
            return row.port == paused && row.state == Ledger::State::Allocated;
        }));
    }

    void initLedger()
    {
        QFile::remove(ledger_);
        QFile::remove(ledger_ + "-wal");
        const Run made = RunCtl({"ledger", "init", "--plan", plan_, "--ledger", ledger_});
        QVERIFY2(made.status == 0, qPrintable(made.err));
    }

    QList<Ledger::Row> rows() const
    {
        QString error;
        const std::unique_ptr<Ledger> ledger =
            Ledger::openExisting(*LedgerLocation::parse(ledger_, &error), &error);
        return ledger ? ledger->rows(&error).value_or(QList<Ledger::Row>{}) : QList<Ledger::Row>{};
    }

    // `count` rows (any number if negative) with distinct numbers; every device holds those of
    // a verified row of its port, with the plan's settings.
    void verifyLedger(const Devices &devices, qsizetype count) const
    {
        const QList<Ledger::Row> all = rows();
        QVERIFY(count < 0 || all.size() == count);
        QSet<quint32> serials;
        QSet<QString> macs;
        for (const Ledger::Row &row : all) {
            serials << row.serial;
            macs << MacText(row.mac);
        }
        QCOMPARE(serials.size(), all.size());
        QCOMPARE(macs.size(), all.size());
        for (const auto &device : devices) {
            const DeviceSettings held = device->settings();
            const QString path = QString::fromStdString(device->devicePath());
            QVERIFY2(std::any_of(all.begin(), all.end(),
                                 [&](const Ledger::Row &r) {
                                     return r.port == path && r.state == Ledger::State::Verified &&
                                            r.serial == held.serialNumber && r.mac == held.mac;
                                 }),
                     qPrintable(path));
            QCOMPARE(held.ipAddress, (Address{10, 10, 10, 11}));
            QCOMPARE(held.defaultGateway, (Address{10, 10, 10, 1}));
            QCOMPARE(held.primaryDns, (Address{10, 10, 10, 1}));
        }
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        ledger_ = dir_->filePath("ledger.sqlite");
        plan_ = dir_->filePath("plan.json");
        QVERIFY(WriteFile(plan_, kPlan));
        initLedger();
    }

    // Numbers from the start of the ranges; a second run only reads.
    void provisionsEachDeviceOnce()
    {
        const Devices devices = MakeDevices(4);
        const Run first = provision(Paths(devices));
        QCOMPARE(first.err, QString());
        QCOMPARE(first.status, 0);
        QCOMPARE(first.out.count(": verified: serial 0 -> 100"), 4);
        QVERIFY2(first.out.endsWith(
                     "summary: 4 verified, 0 already provisioned, 0 failed, 0 ports stopped\n"),
                 qPrintable(first.out));
        verifyLedger(devices, 4);
        for (const Ledger::Row &row : rows()) {
            QVERIFY(row.serial >= 1000 && row.serial <= 1003);
            QCOMPARE(MacNumber(row.mac) - row.serial,
                     MacNumber({2, 0x5C, 0xE1, 0xC0, 0x10, 0}) - 1000);
        }

        for (const auto &device : devices) {
            device->clearReceived();
        }
        // A COM name beside device paths still names its own device.
        CtlOptions options;
        options.portMap = PortMap();
        options.portMap->setPort(1, HostPort{Paths(devices)[0], {}, {}, {}, {}});
        const Run second =
            RunCtl(arguments(QStringList{"COM1"} + Paths(devices).mid(1), {"--json"}), options);
        QCOMPARE(second.status, 0);
        QCOMPARE(second.out.count(R"("outcome":"already provisioned")"), 4);
        const QJsonObject summary =
            QJsonDocument::fromJson(second.out.trimmed().section('\n', -1).toUtf8()).object();
        QCOMPARE(summary["summary"]["already_provisioned"].toInt(), 4);
        for (const auto &device : devices) {
            QCOMPARE(ToBytes(device->received()), kRead);
        }
        QCOMPARE(rows().size(), 4);
    }

    // A device that takes no write, and one that stores something else, fail and next time
    // get new numbers; a failed number is never handed out again. A unit numbered by another
    // ledger is left as it is and reported, unless --renumber gives it this plan's numbers. A
    // port without a device stops with one line; the others still finish.
    void failedOrForeignUnits()
    {
        DeviceSettings elsewhere = FactorySettings();
        elsewhere.serialNumber = 5;
        elsewhere.mac = {0x02, 0, 0, 0, 0x05, 0x05};
        const Devices devices = MakeDevices(4);
        const QStringList paths = Paths(devices);
        const QString missing = dir_->filePath("ttyNone");
        devices[1]->setReplyFault(Fault::IgnoreWrites);
        devices[2]->setReplyFault(Fault::AltersWrites);
        devices[3]->setSettings(elsewhere);
        const Run first = provision(QStringList(paths) << missing, {}, 500);
        QCOMPARE(first.status, 1);
        QVERIFY2(first.out.contains(paths[1] + ": failed: serial 0 -> ") &&
                     first.out.contains(paths[2] + ": failed: serial 0 -> ") &&
                     first.out.contains(paths[3] + ": numbered elsewhere: serial 5, MAC "
                                                   "02:00:00:00:05:05, not in this ledger") &&
                     first.out.endsWith("1 verified, 0 already provisioned, 1 numbered "
                                        "elsewhere, 2 failed, 1 port stopped\n"),
                 qPrintable(first.out));
        QCOMPARE(first.err,
                 "quillonctl: provision: " + missing + ": read: " + missing + " does not exist\n");
        QCOMPARE(devices[1]->settings(), FactorySettings());
        QCOMPARE(devices[3]->settings(), elsewhere);
        QCOMPARE(ToBytes(devices[3]->received()), kRead);
        QMap<QString, QString> reasons;
        for (const Ledger::Row &row : rows()) {
            if (row.state == Ledger::State::Failed) {
                reasons[row.port] = row.reason;
            }
        }
        QCOMPARE(reasons.value(paths[1]), "write: Timeout");
        QCOMPARE(reasons.value(paths[2]), "read-back differs: IP Address");

        devices[1]->setReplyFault(Fault::None);
        devices[2]->setReplyFault(Fault::None);
        const Run second = provision(paths, {"--renumber"});
        QCOMPARE(second.status, 0);
        QVERIFY2(second.out.contains(paths[1] + ": verified: serial 0 -> 100") &&
                     second.out.contains(paths[2] + ": verified: serial 100") &&
                     second.out.contains(paths[3] + ": verified: serial 5 -> 100") &&
                     second.out.count("already provisioned: ") == 1,
                 qPrintable(second.out));
        verifyLedger(devices, 6);
    }

    // When a range of two, across a byte boundary, runs out, the port still waiting for a
    // number stops; the rest finish.
    void rangeRunsOut_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<QString>("named");
        Row("serial numbers", "serial", R"({"first": 1000, "last": 1001})"_ba,
            "the serial numbers 1000 to 1001");
        Row("MACs", "mac", R"({"first": "02:5C:E1:C0:10:FF", "last": "02:5C:E1:C0:11:00"})"_ba,
            "the MACs 02:5C:E1:C0:10:FF to 02:5C:E1:C0:11:00");
        Row("IP addresses", "ip", R"({"first": "10.10.10.253", "last": "10.10.10.254"})"_ba,
            "the IP addresses 10.10.10.253 to 10.10.10.254");
    }
    void rangeRunsOut()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, range);
        QFETCH(QString, named);
        QVERIFY(WriteFile(plan_, PlanWith(field, range)));
        initLedger();
        const Devices devices = MakeDevices(3);
        const Run run = provision(Paths(devices));
        QCOMPARE(run.status, 1);
        QCOMPARE(run.out.count(": verified: "), 2);
        QCOMPARE(run.err.count('\n'), 1);
        QVERIFY2(run.err.contains(named + " of the ledger " + ledger_ + " are all used"),
                 qPrintable(run.err));
        const auto untouched = std::count_if(devices.begin(), devices.end(), [](const auto &d) {
            return d->settings() == FactorySettings() && ToBytes(d->received()) == kRead;
        });
        QCOMPARE(untouched, 1);
        QCOMPARE(rows().size(), 2);
    }

    // SIGTERM and SIGHUP end a run as Ctrl+C does, with the summary and 128 + the signal's
    // number, once the exchange under way has ended; a second signal ends it at once.
    void signalsEndTheRun_data()
    {
        QTest::addColumn<QList<int>>("signalsSent");
        QTest::addColumn<int>("status");
        QTest::addColumn<bool>("summary");
        QTest::newRow("SIGTERM") << QList<int>{SIGTERM} << 143 << true;
        QTest::newRow("SIGHUP") << QList<int>{SIGHUP} << 129 << true;
        QTest::newRow("Ctrl+C twice") << QList<int>{SIGINT, SIGINT} << 130 << false;
    }
    void signalsEndTheRun()
    {
        QFETCH(QList<int>, signalsSent);
        QFETCH(int, status);
        QFETCH(bool, summary);
        Devices devices = MakeDevices(1);
        devices[0]->setReplyFault(SimulatedQuillon::ReplyFault::NoReply);
        QProcess child;
        child.setReadChannel(QProcess::StandardError);
        Start(child, arguments(Paths(devices), {"--watch"}));
        QVERIFY(devices[0]->waitForReceived(kRead.size(), std::chrono::seconds(20)));
        for (qsizetype i = 0; i < signalsSent.size(); ++i) {
            // A second signal sent before the first is handled would merge with it.
            QVERIFY(i == 0 || child.bytesAvailable() > 0 || child.waitForReadyRead(10000));
            QCOMPARE(::kill(child.processId(), signalsSent[i]), 0);
        }
        const Run run = Finish(child);
        QCOMPARE(run.status, status);
        QCOMPARE(run.out.contains("summary: 0 verified"), summary);
        QVERIFY(rows().isEmpty());
    }

    // Each port's changes of state as time-stamped NDJSON events, on standard output and
    // appended to the log; after each verified unit the hook runs with the unit's values in
    // its environment only, and one that fails or outlives its limit is reported for its unit
    // without holding up the others or undoing the ledger.
    void watchEventsLogAndHook()
    {
        Devices devices = MakeDevices(3);
        const QStringList paths = Paths(devices);
        const QString log = dir_->filePath("station.log");
        const QString labels = dir_->filePath("labels");
        QVERIFY(WriteFile(log, "earlier line\n"));
        const QString hook =
            QStringLiteral("printf '%s %s %s %s\\n' \"$QUILLON_PORT\" \"$QUILLON_SERIAL\" "
                           "\"$QUILLON_MAC\" \"$QUILLON_IP\" >> %1; case $QUILLON_PORT in %2) exit "
                           "3;; %3) exec sleep 60;; esac")
                .arg(labels, paths[1], paths[2]);
        QProcess child;
        Start(child,
              QStringList{"--watch-interval", "100", "--hook-limit", "300"} +
                  arguments(paths, {"--watch", "--json", "--log", log, "--on-verified", hook}),
              PROVISION_CLIENT);
        QString out;
        const auto count = [&](const QString &what) {
            out += child.readAllStandardOutput();
            return out.count(what);
        };
        const QString hookFailed = "\"event\":\"hook failed\"";
        QTRY_COMPARE_WITH_TIMEOUT(count(hookFailed), 2, 20000);
        QCOMPARE(::kill(child.processId(), SIGTERM), 0);
        const Run run = Finish(child);
        QCOMPARE(run.status, 143);
        out += run.out;

        // Local ISO 8601 with milliseconds and the offset.
        const QRegularExpression kTimeStamp(
            "^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\d\\.\\d{3}[+-]\\d\\d:\\d\\d$");
        QStringList events;
        for (const QString &line : out.split('\n', Qt::SkipEmptyParts)) {
            const QJsonObject object = QJsonDocument::fromJson(line.toUtf8()).object();
            if (object.contains("event")) {
                QVERIFY2(kTimeStamp.match(object["time"].toString()).hasMatch(), qPrintable(line));
                events << line;
            }
        }
        QCOMPARE(QString::fromUtf8(ReadFile(log)), "earlier line\n" + events.join('\n') + '\n');
        for (const char *kind : {"found", "allocated", "written"}) {
            QCOMPARE(out.count(QStringLiteral("\"event\":\"%1\"").arg(kind)), 3);
        }
        const QStringList expected{
            "{\"event\":\"verified\",\"ip\":\"10.10.10.11\",\"mac\":\"02:5C:E1:C0:10:0",
            "\"reason\":\"exit status 3\"", "\"reason\":\"did not end within 300 ms; stopped\""};
        for (const QString &part : expected) {
            QVERIFY2(out.contains(part), qPrintable(part));
        }

        const QStringList printed =
            QString::fromUtf8(ReadFile(labels)).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(printed.size(), 3);
        for (const auto &device : devices) {
            const DeviceSettings held = device->settings();
            QVERIFY2(printed.contains(QStringLiteral("%1 %2 %3 10.10.10.11")
                                          .arg(QString::fromStdString(device->devicePath()))
                                          .arg(held.serialNumber)
                                          .arg(MacText(held.mac))),
                     qPrintable(printed.join('|')));
        }
        verifyLedger(devices, 3);
    }

    // A port seen without a device takes the next one as new: a fresh unit after a failed one
    // with the same identity is provisioned. A unit back with the identity its port just gave
    // it is the same unit, counted once, and so is one polled again and again; between polls
    // the port is free. A device swapped in behind the link at once, as udev does it, is new.
    void watchTellsUnitsApart()
    {
        Devices devices = MakeDevices(3);
        devices[0]->setReplyFault(Fault::IgnoreWrites);
        const QString link = dir_->filePath("ttyFixture");
        QVERIFY(QFile::link(Paths(devices)[0], link));
        QProcess child;
        Start(child,
              QStringList{"--watch-interval", "50"} + arguments({link}, {"--watch", "--json"}),
              PROVISION_CLIENT);
        QString out;
        const auto count = [&](const char *what) {
            out += child.readAllStandardOutput();
            return out.count(QString::fromLatin1(what));
        };
        const auto replug = [&](int device, int gaps) {
            QVERIFY(QFile::remove(link));
            QTRY_COMPARE_WITH_TIMEOUT(count("\"event\":\"cannot open\""), gaps, 20000);
            QVERIFY(QFile::link(Paths(devices)[device], link));
        };
        QTRY_COMPARE_WITH_TIMEOUT(count("\"outcome\":\"failed\""), 1, 20000);
        replug(1, 1);
        QTRY_COMPARE_WITH_TIMEOUT(count("\"outcome\":\"verified\""), 1, 20000);
        QCOMPARE(devices[1]->settings().serialNumber, 1001u);
        replug(1, 2);
        const int handled = devices[1]->requestsHandled();
        QTRY_VERIFY_WITH_TIMEOUT(devices[1]->requestsHandled() >= handled + 3, 20000);
        QTRY_COMPARE(count("\"event\":\"found\""), 2);
        QCOMPARE(count("\"event\":\"removed\""), 2);
        QCOMPARE(count("already provisioned\""), 0);
        QTRY_VERIFY_WITH_TIMEOUT(QSerialPort(link).open(QIODevice::ReadWrite), 20000);

        const QString next = dir_->filePath("ttyNext");
        QVERIFY(QFile::link(Paths(devices)[2], next));
        QCOMPARE(std::rename(qPrintable(next), qPrintable(link)), 0);
        devices[1]->unplug();
        QTRY_COMPARE_WITH_TIMEOUT(count("\"outcome\":\"verified\""), 2, 20000);
        QCOMPARE(devices[2]->settings().serialNumber, 1002u);
        QCOMPARE(::kill(child.processId(), SIGINT), 0);
        const Run run = Finish(child);
        QCOMPARE(run.status, 130);
        out += run.out;
        const QString firstDevice = out.mid(out.indexOf(R"({"new")")).section('\n', 0, 0);
        const QJsonObject first = QJsonDocument::fromJson(firstDevice.toUtf8()).object();
        QCOMPARE(first["port"].toString(), link);
        QCOMPARE(first["new"]["mac"].toString(), "02:5C:E1:C0:10:00");
        const QJsonObject summary =
            QJsonDocument::fromJson(out.trimmed().section('\n', -1).toUtf8()).object();
        QCOMPARE(summary["summary"]["verified"].toInt(), 2);
        QCOMPARE(summary["summary"]["interrupted"].toBool(), true);
    }

    // Two processes on one ledger file, one killed mid-run and run again.
    void twoProcessesShareOneLedger()
    {
        const Devices devices = MakeDevices(8);
        stationsWithOneKilled(Paths(devices), 2);
        verifyLedger(devices, -1);
    }

    // Read back as written but not recorded as verified, because another process holds the
    // ledger at that moment: a failure that says so, in its line and the status; the numbers
    // stay reserved and the next run gives the device fresh ones.
    void verifiedOnlyOnceRecorded()
    {
        const Devices devices = MakeDevices(1);
        QProcess child;
        Start(child,
              QStringList{"--pause-verified", "--busy-timeout", "100"} + arguments(Paths(devices)),
              PROVISION_CLIENT);
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT((err += child.readAllStandardError()).contains("paused"), 20000);
        Run run;
        {
            const LedgerLock lock(ledger_);
            QVERIFY(lock.locked);
            child.closeWriteChannel();
            run = Finish(child);
        }
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.contains(": failed: serial 0 -> 1000, ") &&
                     run.out.contains("not recorded as verified"),
                 qPrintable(run.out));
        QCOMPARE(devices[0]->settings().serialNumber, 1000);
        QCOMPARE(rows().value(0).state, Ledger::State::Written);
        const Run next = provision(Paths(devices));
        QVERIFY2(next.out.contains(": verified: serial 1000 -> 1001, "), qPrintable(next.out));
    }

    // Another process holds the ledger's write lock for 10 s. Meanwhile the exchanges go on and
    // keep their time limits: a device that never replies and one whose reply comes after the
    // limit both end as Timeout while the lock is held. The waiting device then gets its number.
    void timeLimitsHoldWhileLedgerLocked()
    {
        constexpr int kLockedMs = 10000;
        const Devices devices = MakeDevices(3);
        devices[1]->setReplyFault(Fault::NoReply);
        devices[2]->setPacing(SimulatedQuillon::Pacing::ByteGaps, std::chrono::milliseconds(200));
        QProcess child;
        {
            const LedgerLock lock(ledger_);
            QVERIFY(lock.locked);
            QElapsedTimer held;
            held.start();
            Start(child, arguments(Paths(devices)), PROVISION_CLIENT);
            QString err;
            QTRY_VERIFY_WITH_TIMEOUT(
                (err += child.readAllStandardError()).count(": read: Timeout") == 2, kLockedMs);
            QVERIFY(held.elapsed() < kLockedMs);
            QCOMPARE(child.state(), QProcess::Running);
            QTest::qWait(int(kLockedMs - held.elapsed()));
        }
        const Run run = Finish(child);
        QCOMPARE(run.status, 1);
        QVERIFY2(run.out.contains(Paths(devices)[0] + ": verified: serial 0 -> 1000, "),
                 qPrintable(run.out));
        QCOMPARE(rows().size(), 1);
    }

    // Three stations on one PostgreSQL ledger, four devices each; one is killed with numbers
    // committed and not yet written, and run again. Then a watching station loses the database:
    // the device in hand fails "ledger unreachable" with nothing written to it, and the next
    // device gets its numbers once the database is back. No number twice, in rows or devices;
    // every row tells which station and user took it.
    void stationsShareOnePostgresLedger()
    {
        PostgresServer server;
        QVERIFY2(server.failure().isEmpty(), qPrintable(server.failure()));
        ledger_ = server.url();
        initLedger();
        Devices devices = MakeDevices(15);
        const QStringList paths = Paths(devices);
        stationsWithOneKilled(paths, 3);

        const QString link = dir_->filePath("ttyLine1");
        QVERIFY(QFile::link(paths[12], link));
        QProcess watching;
        Start(watching, QStringList{"--watch-interval", "100"} + arguments({link}, {"--watch"}),
              PROVISION_CLIENT);
        QString out;
        // The per-device result lines, not the time-stamped events beside them.
        const auto seen = [&](const char *text) {
            out += watching.readAllStandardOutput();
            return out.count(QRegularExpression(
                QStringLiteral("^%1%2").arg(QRegularExpression::escape(link), text),
                QRegularExpression::MultilineOption));
        };
        const auto swapTo = [&](int next) {
            devices[next - 1]->unplug();
            return QFile::link(paths[next], dir_->filePath("next")) &&
                   std::rename(qPrintable(dir_->filePath("next")), qPrintable(link)) == 0;
        };
        QTRY_COMPARE_WITH_TIMEOUT(seen(": verified: "), 1, 20000);
        QVERIFY(server.stop());
        QVERIFY(swapTo(13));
        QTRY_COMPARE_WITH_TIMEOUT(seen(": failed: "), 1, 20000);
        QVERIFY2(out.contains("(ledger unreachable: "), qPrintable(out));
        QVERIFY(server.start());
        QVERIFY(swapTo(14));
        QTRY_COMPARE_WITH_TIMEOUT(seen(": verified: "), 2, 20000);
        QCOMPARE(::kill(watching.processId(), SIGINT), 0);
        QCOMPARE(Finish(watching).status, 130);
        QCOMPARE(devices[13]->settings(), FactorySettings());
        QCOMPARE(qint64(rows().back().serial), devices[14]->settings().serialNumber);

        devices.resize(12); // the rest sat behind the link
        verifyLedger(devices, -1);
        const QList<Ledger::Row> all = rows();
        QVERIFY(std::all_of(all.begin(), all.end(), [](const Ledger::Row &row) {
            return !row.station.isEmpty() && !row.user.isEmpty() && !row.allocatedAt.isEmpty();
        }));
        QCOMPARE(RunCtl({"ledger", "--csv", "--ledger", ledger_}).out.count('\n'), all.size() + 1);
        const Run backup = RunCtl({"ledger", "backup", "b.dump", "--ledger", ledger_});
        QCOMPARE(backup.status, 2);
        QVERIFY2(backup.err.contains("pg_dump"), qPrintable(backup.err));
    }
};

QTEST_GUILESS_MAIN(tst_provision)
#include "tst_provision.moc"
