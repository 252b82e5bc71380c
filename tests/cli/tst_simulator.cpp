// quillonctl without a device, as a newcomer tries it: quillon-sim's devices, read, written and
// provisioned by the built programs, and the shell completion that names their ports.

#include "ctlharness.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace quillon;
using namespace quillon::test;

namespace {

// Starts quillon-sim and returns the paths it prints, once all `count` are there.
QStringList StartSim(QProcess &sim, int count, const QStringList &arguments)
{
    sim.start(QUILLON_SIM_PROGRAM, QStringList{"--count", QString::number(count)} + arguments);
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
        // A second simulator on the same links would point them at other devices.
        const Run second = RunChild({"--link", links}, QUILLON_SIM_PROGRAM);
        QVERIFY2(second.status == 1 && second.err.contains("in use"), qPrintable(second.err));

        QVERIFY(RunChild({"read", ports[0], "--json"})
                    .out.startsWith(R"({"serial": 0, "mac": "02:5C:E1:C0:00:00", )"
                                    R"("ip": "10.10.10.11", "mask": "255.255.255.0")"));
        QCOMPARE(RunChild({"write", ports[1], "--ip", "10.0.0.5"}).status, 0);
        QVERIFY(RunChild({"read", ports[1]}).out.contains("IP Address: 10.0.0.5\n"));

        const QString plan = dir.filePath("plan.json");
        QVERIFY(WriteFile(plan, kPlan));
        const QString ledger = dir.filePath("ledger.sqlite");
        QCOMPARE(RunChild({"ledger", "init", "--plan", plan, "--ledger", ledger}).status, 0);
        const Run provision =
            RunChild(QStringList{"provision", "--plan", plan, "--ledger", ledger} + ports);
        QVERIFY2(provision.out.contains("summary: 3 verified"), qPrintable(provision.err));
        QCOMPARE(provision.status, 0);

        // Ctrl+C ends it cleanly and takes the links, and the directory it made, away.
        ::kill(static_cast<pid_t>(sim.processId()), SIGINT);
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);
        QVERIFY(!QFileInfo::exists(links));
    }

    void faultGivesExitStatus()
    {
        QProcess sim;
        const QStringList ports = StartSim(sim, 1, {"--fault", "bad-checksum"});
        QCOMPARE(ports.size(), 1);
        const Run read = RunChild({"read", ports[0]});
        QVERIFY2(read.status == 1 && read.err.contains("Checksum error"), qPrintable(read.err));
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.exitCode(), 0);
    }

    void completion_data()
    {
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("offered");
        const QString device = QString::fromStdString(device_.devicePath());
        const QString file = COMPLETION_SCRIPT;
        using L = QStringList;
        Row("commands", L{""},
            L{"read", "write", "format", "ports", "provision", "ledger", "help"});
        Row("COM ports", L{"read", ""}, L{"COM1", "COM20"});
        Row("probe's ports", L{"ports", "--probe", ""}, L{"COM2"});
        Row("write's options", L{"write", "COM1", "--d"}, L{"--dns1", "--dns2", "--defaults"});
        Row("file after --plan", L{"provision", "--plan", file.chopped(3)}, L{file});
        Row("device path", L{"format", device}, L{device});
    }

    void completion()
    {
        QFETCH(QStringList, words);
        QFETCH(QStringList, offered);
        const char *script = R"(source "$0"; COMP_WORDS=(quillonctl "$@"); COMP_CWORD=$#;
                                _quillonctl; printf '%s\n' "${COMPREPLY[@]}")";
        const Run run = RunChild(QStringList{"-c", script, COMPLETION_SCRIPT} + words, "bash");
        const QStringList replies = run.out.split(u'\n', Qt::SkipEmptyParts);
        for (const QString &word : offered) {
            QVERIFY2(replies.contains(word), qPrintable(word + " not in: " + replies.join(' ')));
        }
    }

private:
    SimulatedQuillon device_;
};

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
