// The window programs' command line as a user meets it: from a terminal, often without a display.

#include "version.h"
#include "window/main_frm.h"

#include <QDir>
#include <QProcess>
#include <QTest>

using namespace quillon;

class tst_CommandLine : public QObject
{
    Q_OBJECT
private slots:
    void arguments_data();
    void arguments();
    void titleNamesTheVersion();
};

void tst_CommandLine::arguments_data()
{
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString tool = QStringLiteral(QUILLON_PROGRAM);
    const QString demo = QStringLiteral(QUILLON_DEMO_PROGRAM);
    const QString version = QString::fromLatin1(kVersion);
    const QString usage = QStringLiteral("Usage: quillon [OPTION]\n");
    const QString demoUsage = QStringLiteral("Usage: quillon-demo [OPTION]\n");

    QTest::newRow("--help") << tool << QStringList{"--help"} << 0 << usage << QString();
    QTest::newRow("-h") << tool << QStringList{"-h"} << 0 << usage << QString();
    QTest::newRow("--version") << tool << QStringList{"--version"} << 0
                               << QStringLiteral("quillon %1\n").arg(version) << QString();
    QTest::newRow("demo --help") << demo << QStringList{"--help"} << 0 << demoUsage << QString();
    QTest::newRow("demo --version")
        << demo << QStringList{"--version"} << 0 << QStringLiteral("quillon-demo %1\n").arg(version)
        << QString();
    // An answer wins over a mistake anywhere on the line, as it needs no display.
    QTest::newRow("--help after a mistake")
        << tool << QStringList{"--bogus", "--help"} << 0 << usage << QString();

    // Qt takes its own options first; only what is left over is refused, by name.
    QTest::newRow("unknown option")
        << tool << QStringList{"-platform", "offscreen", "--bogus"} << 2 << QString()
        << QStringLiteral("quillon: unknown argument '--bogus'\n") + usage;
    QTest::newRow("stray word after -session")
        << tool << QStringList{"-platform", "offscreen", "-session", "s1", "COM3"} << 2 << QString()
        << QStringLiteral("quillon: unknown argument 'COM3'\n") + usage;
    QTest::newRow("demo unknown option")
        << demo << QStringList{"-platform", "offscreen", "-x"} << 2 << QString()
        << QStringLiteral("quillon-demo: unknown argument '-x'\n") + demoUsage;
}

void tst_CommandLine::arguments()
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

void tst_CommandLine::titleNamesTheVersion()
{
    const main_frm window{PortMap{}};
    QCOMPARE(window.windowTitle(), QStringLiteral("Quillon V") + QString::fromLatin1(kVersion));
}

QTEST_MAIN(tst_CommandLine)
#include "tst_commandline.moc"
