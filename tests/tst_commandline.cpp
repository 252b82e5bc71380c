// The window programs' command line as a user meets it: from a terminal, often without a display.

#include "version.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace quillon;

class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data()
    {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("out");
        QTest::addColumn<QString>("err");

        const QString tool = QStringLiteral(QUILLON_PROGRAM);
        const QString demo = QStringLiteral(QUILLON_DEMO_PROGRAM);
        const QString version = QString::fromLatin1(kVersion);
        const QString usage = "Usage: quillon [OPTION]\n";
        const QString demoUsage = "Usage: quillon-demo [OPTION]\n";
        const auto row = [](const char *name, const QString &program, const QStringList &arguments,
                            int status, const QString &out, const QString &err) {
            QTest::newRow(name) << program << arguments << status << out << err;
        };
        row("--help", tool, {"--help"}, 0, usage, "");
        row("--version", tool, {"--version"}, 0, "quillon " + version + "\n", "");
        row("demo --version", demo, {"--version"}, 0, "quillon-demo " + version + "\n", "");
        // An answer wins over a mistake anywhere on the line, as it needs no display.
        row("--help after a mistake", tool, {"--bogus", "--help"}, 0, usage, "");
        // Qt takes its own options first; only what is left over is refused, by name.
        row("stray word after -session", tool, {"-platform", "offscreen", "-session", "s1", "COM3"},
            2, "", "quillon: unknown argument 'COM3'\n" + usage);
        row("demo unknown option", demo, {"-platform", "offscreen", "-x"}, 2, "",
            "quillon-demo: unknown argument '-x'\n" + demoUsage);
        // Without -platform there is no display to be had: the mistake is found before Qt
        // would abort for want of one, and Qt's own options are still told apart from it.
        row("unknown option, no display", tool, {"--bogus"}, 2, "",
            "quillon: unknown argument '--bogus'\n" + usage);
        row("Qt's options, then a mistake, no display", tool,
            {"-style", "fusion", "--reverse", "-stylesheet=a.qss", "-name", "q", "COM3"}, 2, "",
            "quillon: unknown argument 'COM3'\n" + usage);
    }

    void arguments()
    {
        QFETCH(QString, program);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, out);
        QFETCH(QString, err);

        // No display at all: the answers must not need one, and -platform must be what gives one.
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
            environment.remove(QString::fromLatin1(name));
        }
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), QDir::tempPath());
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(program, arguments);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        const QString stdOut = QString::fromLocal8Bit(process.readAllStandardOutput());
        const QString stdErr = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.startsWith(out), qPrintable(stdOut));
        QVERIFY2(err.isEmpty() ? stdErr.isEmpty() : stdErr.contains(err), qPrintable(stdErr));
    }
};

QTEST_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
