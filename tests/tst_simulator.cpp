// quillonctl without a device, as a newcomer tries it: quillon-sim's devices, read, written and
// provisioned by the built programs, and the shell completion that names their ports.

#include "sim/faultname.h"
#include "sim/simulatedquillon.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <csignal>
#include <memory>

using namespace quillon;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

// LANG=C keeps the messages the ones compared here.
Run RunProgram(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("LANG", "C");
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    Run run;
    if (process.waitForFinished(30000) && process.exitStatus() == QProcess::NormalExit) {
        run.status = process.exitCode();
    }
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

Run Ctl(const QStringList &arguments)
{
    return RunProgram(QStringLiteral(QUILLONCTL_PROGRAM), arguments);
}

// Starts quillon-sim and returns the paths it prints, once all `count` are there.
QStringList StartSim(QProcess &sim, int count, const QStringList &arguments)
{
    sim.start(QStringLiteral(QUILLON_SIM_PROGRAM),
              QStringList{"--count", QString::number(count)} + arguments);
    QByteArray out;
    while (out.count('\n') < count && sim.waitForReadyRead(10000)) {
        out += sim.readAllStandardOutput();
    }
    return QString::fromUtf8(out).split(u'\n', Qt::SkipEmptyParts);
}

} // namespace

class tst_Simulator : public QObject
{
    Q_OBJECT
private slots:
    void readWriteAndProvisionThreeUnits()
    {
        QTemporaryDir dir;
        const QString links = dir.filePath("links");
        QProcess sim;
        const QStringList ports = StartSim(sim, 3, {"--link", links});
        QCOMPARE(ports,
                 (QStringList{links + "/quillon1", links + "/quillon2", links + "/quillon3"}));
        QVERIFY(QFileInfo(ports[0]).isSymLink());

        // A second simulator on the same links would point them at other devices.
        const Run second = RunProgram(QStringLiteral(QUILLON_SIM_PROGRAM), {"--link", links});
        QCOMPARE(second.status, 1);
        QVERIFY2(second.err.contains("in use by another simulator"), qPrintable(second.err));

        const Run fresh = Ctl({"read", ports[0], "--json"});
        QCOMPARE(fresh.status, 0);
        const QJsonObject factory = QJsonDocument::fromJson(fresh.out.toUtf8()).object();
        QCOMPARE(factory.value("serial").toInt(-1), 0);
        QCOMPARE(factory.value("mac").toString(), "02:5C:E1:C0:00:00");
        QCOMPARE(factory.value("ip").toString(), "10.10.10.11");

        QCOMPARE(Ctl({"write", ports[1], "--ip", "10.0.0.5"}).status, 0);
        const Run kept = Ctl({"read", ports[1], "--json"});
        QCOMPARE(QJsonDocument::fromJson(kept.out.toUtf8()).object().value("ip").toString(),
                 "10.0.0.5");

        const QString plan = dir.filePath("plan.json");
        QFile planFile(plan);
        QVERIFY(planFile.open(QIODevice::WriteOnly));
        planFile.write(R"({"serial": {"first": 1000, "last": 1999},
            "mac": {"first": "02:5C:E1:C0:10:00", "last": "02:5C:E1:C0:13:E7"},
            "ip": "10.10.10.11", "mask": "255.255.255.0", "gateway": "10.10.10.1",
            "dns1": "10.10.10.1", "dns2": "0.0.0.0"})");
        planFile.close();
        const Run provision = Ctl(
            QStringList{"provision", "--plan", plan, "--ledger", dir.filePath("ledger.sqlite")} +
            ports);
        QVERIFY2(provision.status == 0, qPrintable(provision.err));
        QVERIFY2(provision.out.contains("summary: 3 verified"), qPrintable(provision.out));
        QVERIFY(Ctl({"read", ports[2]}).out.contains(QRegularExpression("Serial No.: 100[0-2]\n")));

        // Ctrl+C ends it cleanly and takes the links, and the directory it made, away.
        ::kill(static_cast<pid_t>(sim.processId()), SIGINT);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(links));
    }

    void faultGivesExitStatus_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("bad-checksum") << "bad-checksum"
                                      << "Checksum error in the reply";
        QTest::newRow("silent") << "silent"
                                << "Timeout: no complete reply";
    }

    void faultGivesExitStatus()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QProcess sim;
        const QStringList ports = StartSim(sim, 1, {"--fault", fault});
        QCOMPARE(ports.size(), 1);
        const Run read = Ctl({"read", ports[0]});
        QCOMPARE(read.status, 1);
        QVERIFY2(read.err.contains(message), qPrintable(read.err));
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
    }

    // A fault the simulator gains is one the manual tells of.
    void manualNamesEveryFault()
    {
        QFile page(QStringLiteral(SIM_MAN_PAGE));
        QVERIFY(page.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(page.readAll()).replace("\\-", "-");
        for (const FaultName &name : FaultNames()) {
            const QString entry = ".B " + QString::fromLatin1(name.name.data(), name.name.size());
            QVERIFY2(text.contains(entry + "\n"), qPrintable(entry));
        }
    }

    void completion_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("offered");

        plan_.open();
        device_ = std::make_unique<SimulatedQuillon>();
        const QString device = QString::fromStdString(device_->devicePath());
        QTest::newRow("commands") << QStringList{""}
                                  << QStringList{"read",      "write",  "format", "ports",
                                                 "provision", "ledger", "help"};
        QTest::newRow("after help") << QStringList{"help", "pr"} << QStringList{"provision"};
        QTest::newRow("COM ports") << QStringList{"read", ""} << QStringList{"COM1", "COM20"};
        QTest::newRow("write's options")
            << QStringList{"write", "COM1", "--d"} << QStringList{"--dns1", "--dns2", "--defaults"};
        QTest::newRow("plan file")
            << QStringList{"provision", "--plan", plan_.fileName().chopped(2)}
            << QStringList{plan_.fileName()};
        QTest::newRow("device path") << QStringList{"format", device} << QStringList{device};
    }

    void completion()
    {
        QFETCH(QStringList, words);
        QFETCH(QStringList, offered);
        const char *script = R"(source "$0"; COMP_WORDS=(quillonctl "$@"); COMP_CWORD=$#;
                                _quillonctl; printf '%s\n' "${COMPREPLY[@]}")";
        const Run run = RunProgram("bash", QStringList{"-c", script, COMPLETION_SCRIPT} + words);
        QCOMPARE(run.status, 0);
        const QStringList replies = run.out.split(u'\n', Qt::SkipEmptyParts);
        for (const QString &word : offered) {
            QVERIFY2(replies.contains(word), qPrintable(word + " not in: " + replies.join(' ')));
        }
    }

private:
    QTemporaryFile plan_;
    std::unique_ptr<SimulatedQuillon> device_;
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
