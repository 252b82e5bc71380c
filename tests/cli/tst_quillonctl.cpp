// quillonctl run in-process: refusals before any device, and the ledger list.
#include "ctlharness.h"
#include "ledger/ledger.h"

#include <QDir>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace quillon;
using namespace quillon::test;

class tst_quillonctl : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir_;
    PortMap map_;
    QByteArray notes_; // another program's database, which no refusal may change

    // Runs in the temporary directory, where "@" in an argument stands for its path.
    Run run(QStringList arguments)
    {
        for (QString &argument : arguments) {
            argument.replace('@', dir_.path());
        }
        CtlOptions options;
        options.portMap = map_;
        // A folder named "nfs" stands for a network mount.
        options.fileSystem = [](const QString &folder) {
            return folder.endsWith("/nfs") ? 0x6969 : LedgerFile::StatfsMagic(folder);
        };
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        const Run result = RunCtl(arguments, options);
        QDir::setCurrent(cwd);
        return result;
    }

private slots:
    void initTestCase()
    {
        // COM3 is a plain file: it exists, so resolution passes, but is no serial device.
        QVERIFY(WriteFile(dir_.filePath("tty3"), {}));
        QVERIFY(QFile::link(dir_.filePath("tty3"), dir_.filePath("by-id")));
        map_.setPort(3, HostPort{dir_.filePath("tty3"), "USB serial", {}, {}, {}});
        QVERIFY(WriteFile(dir_.filePath("plan.json"), kPlan));
        QVERIFY(WriteFile(dir_.filePath("other-plan.json"),
                          PlanWith("serial", R"({"first": 1, "last": 1999})")));
        QVERIFY(WriteFile(dir_.filePath("truncated.json"), kPlan.left(40)));
        QCOMPARE(::mkfifo(qPrintable(dir_.filePath("fifo.json")), 0600), 0);
        QVERIFY(QDir(dir_.path()).mkdir(QString(200, 'd')));
        QVERIFY(WriteFile(dir_.filePath(QString(200, 'd') + "/" + QString(200, 't')), {}));
        QVERIFY(WriteFile(dir_.filePath("text.sqlite"), QByteArray(4096, 'x')));
        qunsetenv("QUILLON_LEDGER");
        QVERIFY(QDir(dir_.path()).mkdir("nfs"));
        for (const char *name : {"l.sqlite", "nfs/l.sqlite", "linked.sqlite", "edited.sqlite"}) {
            QCOMPARE(
                run({"ledger", "init", "--plan", "@/plan.json", "--ledger", dir_.filePath(name)})
                    .status,
                QString(name).startsWith("nfs") ? 2 : 0);
        }
        QString error;
        QVERIFY(Ledger::create(*LedgerLocation::parse(dir_.filePath("nfs/l.sqlite"), &error),
                               *ProvisionPlan::parse(kPlan, &error), &error));
        QCOMPARE(::link(qPrintable(dir_.filePath("linked.sqlite")),
                        qPrintable(dir_.filePath("hard.sqlite"))),
                 0);
        {
            // A hand edit that would make the next allocation repeat number 1000.
            const auto edited =
                Ledger::openForPlan(*LedgerLocation::parse(dir_.filePath("edited.sqlite"), &error),
                                    *ProvisionPlan::parse(kPlan, &error), &error);
            QVERIFY(edited && edited->allocate({{"/dev/x", 0, {}}}).first().outcome ==
                                  Ledger::Outcome::Allocated);
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "edit");
            db.setDatabaseName(dir_.filePath("edited.sqlite"));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("UPDATE ranges SET allocated = 0"));
            QVERIFY(!QSqlQuery(db).exec("UPDATE ranges SET serial_last = 999"));
        }
        QSqlDatabase::removeDatabase("edit");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(dir_.filePath("notes.sqlite"));
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("CREATE TABLE notes (text TEXT)"));
        }
        QSqlDatabase::removeDatabase("other");
        notes_ = ReadFile(dir_.filePath("notes.sqlite"));
    }

    // Every refusal comes before a device is touched: one line on stderr naming the problem.
    // The rest reach the port, a plain file that no serial layer opens.
    void commandLines_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("named");
        const auto row = [](const char *name, QStringList args, int status, QString named) {
            QTest::newRow(name) << args << status << named;
        };
        row("no command", {}, 2, "Usage: quillonctl COMMAND");
        row("unknown command", {"reed", "COM3"}, 2, "unknown command \"reed\"");
        row("read no serial device", {"read", "@/tty3", "--json"}, 3, "tty3 cannot be opened");
        for (const char *port : {"com3", "COM03", "COM21", "tty3"}) {
            row(port, {"read", port}, 2, QStringLiteral("no port named \"%1\"").arg(port));
        }
        row("read unmapped COM", {"read", "COM4"}, 3, "Port error: COM4 does not exist");
        // Neither is "in use" or "no permission", whatever the serial layer reports.
        row("read a name too long", {"read", "@/" + QString(300, 'x')}, 3, "x does not exist");
        row("read a path too long to lock",
            {"read", "@/" + QString(200, 'd') + "/" + QString(200, 't')}, 3,
            "t cannot be opened: its path is too long for a lock file");
        row("read no port", {"read"}, 2, "read: give a PORT");
        row("read two ports", {"read", "COM3", "COM4"}, 2, "give one PORT only");
        row("read unknown option", {"read", "COM3", "--jsn"}, 2, "jsn");
        row("write ip twice", {"write", "COM3", "--ip", "1.2.3.4", "--ip", "1.2.3.5"}, 2,
            "--ip is given more than once");
        row("write missing file", {"write", "COM3", "--from", "@/none.json"}, 2, "none.json");
        row("write nothing", {"write", "COM3"}, 2, "nothing to write");
        row("format without --yes", {"format", "COM3"}, 2, "erase ALL files");
        // A bad value is refused before a port problem is reported.
        row("write bad value, unmapped port", {"write", "COM4", "--dns1", "x"}, 2, "--dns1");
        row("provision no plan", {"provision", "COM3"}, 2, "--plan");
        row("provision no port", {"provision", "--plan", "@/plan.json"}, 2, "PORT");
        row("provision missing plan", {"provision", "--plan", "@/none.json", "COM3"}, 2,
            "none.json");
        row("provision plan not JSON", {"provision", "--plan", "@/truncated.json", "COM3"}, 2,
            "not valid JSON");
        // Refused before reading, which would never end or wait for a writer.
        row("provision plan endless", {"provision", "--plan", "/dev/zero", "COM3"}, 2,
            "--plan /dev/zero: not a regular file");
        row("provision plan a fifo", {"provision", "--plan", "@/fifo.json", "COM3"}, 2,
            "fifo.json: not a regular file");
        row("write from endless", {"write", "COM3", "--from", "/dev/zero"}, 2,
            "--from /dev/zero: not a regular file");
        row("provision same port twice", {"provision", "--plan", "@/plan.json", "COM3", "COM3"}, 2,
            "COM3 and COM3 name the same device");
        row("provision same device by link",
            {"provision", "--plan", "@/plan.json", "COM3", "@/by-id"}, 2, "the same device");
        const auto ledger = [&row](const char *name, const char *file, const char *plan,
                                   QString named) {
            row(name, {"provision", "--plan", plan, "--ledger", file, "COM3"}, 2, named);
        };
        ledger("ledger in no directory", "@/no/such/dir/l.sqlite", "@/plan.json",
               "make it first with quillonctl ledger init --plan PLAN.json --ledger");
        ledger("ledger a text file", "@/text.sqlite", "@/plan.json", "not a Quillon ledger");
        ledger("ledger another database", "@/notes.sqlite", "@/plan.json", "not a Quillon ledger");
        ledger("ledger of another plan", "@/l.sqlite", "@/other-plan.json",
               "another plan (serial numbers 1000 to 1999)");
        ledger("ledger with two names", "@/hard.sqlite", "@/plan.json", "has 2 names");
        ledger("ledger on a network", "@/nfs/l.sqlite", "@/plan.json", "network file system (NFS)");
        ledger("ledger edited by hand", "@/edited.sqlite", "@/plan.json", "unsound ranges");
        row("provision no ledger named", {"provision", "--plan", "@/plan.json", "COM3"}, 2,
            "name the ledger with --ledger LOCATION or QUILLON_LEDGER");
        row("ledger none named", {"ledger"}, 2, "name the ledger with --ledger");
        row("ledger missing", {"ledger", "--ledger", "@/none.sqlite"}, 2, "no ledger");
        row("ledger another database", {"ledger", "--ledger", "@/notes.sqlite"}, 2,
            "not a Quillon ledger");
        row("ledger with a port", {"ledger", "COM3"}, 2, "unknown action \"COM3\"");
        row("init over a database",
            {"ledger", "init", "--plan", "@/plan.json", "--ledger", "@/notes.sqlite"}, 2,
            "notes.sqlite already exists");
        row("init without a plan", {"ledger", "init", "--ledger", "@/new.sqlite"}, 2, "--plan");
        row("backup over a file", {"ledger", "backup", "@/text.sqlite", "--ledger", "@/l.sqlite"},
            2, "already exists");
        row("backup of a PostgreSQL ledger",
            {"ledger", "backup", "@/b", "--ledger", "postgresql://127.0.0.1:1/line"}, 2,
            "ledger unreachable");
        row("PostgreSQL location without a database", {"ledger", "--ledger", "postgresql://host"},
            2, "is no PostgreSQL location");
    }
    void commandLines()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, named);
        const Run result = run(arguments);
        QCOMPARE(result.status, status);
        QVERIFY2(result.err.contains(named), qPrintable(result.err));
        if (!arguments.isEmpty()) {
            QCOMPARE(result.err.count('\n'), 1);
            QVERIFY(result.out.isEmpty());
        }
        QCOMPARE(ReadFile(dir_.filePath("notes.sqlite")), notes_);
        for (const char *made : {"notes.sqlite-wal", "notes.sqlite-shm", "new.sqlite", "b",
                                 "text.sqlite-wal", "hard.sqlite-wal"}) {
            QVERIFY2(!QFileInfo::exists(dir_.filePath(made)), made);
        }
    }

    // Each command's --help names and describes every option its synopsis in the manual names,
    // and no other; "help COMMAND" prints the same.
    void help_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("options");
        QFile manual(QUILLONCTL_MANUAL);
        QVERIFY(manual.open(QIODevice::ReadOnly));
        const QString text = manual.readAll();
        const QString synopsis = text.section(".SH SYNOPSIS", 1).section(".SH ", 0, 0);
        QVERIFY(synopsis.contains("quillonctl read"));
        // A command with several synopsis lines ("ledger", "ledger init") takes them all.
        QMap<QString, QStringList> byCommand;
        for (const QString &entry : synopsis.split("\n.br\n")) {
            const QString command =
                QRegularExpression(R"(^\.B quillonctl (\w+))").match(entry.trimmed()).captured(1);
            if (command.isEmpty() || command == "help") {
                continue;
            }
            QStringList &options = byCommand[command];
            options << "help";
            for (const auto &match :
                 QRegularExpression(R"(\\-\\-(\w+(?:\\-\w+)*))").globalMatch(entry)) {
                options << match.captured(1).replace("\\-", "-");
            }
            options.sort();
            options.removeDuplicates();
        }
        for (auto it = byCommand.cbegin(); it != byCommand.cend(); ++it) {
            QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
        }
    }
    void help()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, options);
        const Run help = run({command, "--help"});
        QCOMPARE(help.status, 0);
        QStringList described;
        const QRegularExpression line(R"(^  (?:-\w, )?--([\w-]+)(?: \S+)? +\S)",
                                      QRegularExpression::MultilineOption);
        for (const auto &match : line.globalMatch(help.out)) {
            described << match.captured(1);
        }
        described.sort();
        QCOMPARE(described, options);
        QCOMPARE(run({"help", command}).out, help.out);
        QCOMPARE(run({"-V"}).out, run({"--version"}).out);
    }

    // Every row tells where, by whom and when.
    void ledgerCsv()
    {
        QString error;
        const QString file = dir_.filePath("csv.sqlite");
        {
            std::unique_ptr<Ledger> ledger = Ledger::create(
                *LedgerLocation::parse(file, &error), *ProvisionPlan::parse(kPlan, &error), &error);
            QVERIFY2(ledger, qPrintable(error));
            const auto first =
                ledger->allocate({{"/dev/ttyUSB0", 4294967295u, {2, 0x5C, 0xE1, 0xC0}}}).first();
            QVERIFY(ledger->markFailed(first.allocation.id, "Timeout, no reply", &error));
            const auto second = ledger->allocate({{"/dev/serial/by-path/a,b", 0, {}}}).first();
            QVERIFY(ledger->markVerified(second.allocation.id, &error));
        }
        const Run csv = run({"ledger", "--csv", "--ledger", file});
        QCOMPARE(csv.status, 0);
        const QStringList lines = csv.out.split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], "serial,mac,ip,port,state,reason,previous_serial,previous_mac,time,"
                           "station,user,allocated_at,written_at,verified_at");
        QVERIFY2(lines[1].startsWith("1000,02:5C:E1:C0:10:00,10.10.10.11,/dev/ttyUSB0,failed,"
                                     "\"Timeout, no reply\",4294967295,02:5C:E1:C0:00:00,"),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("1001,02:5C:E1:C0:10:01,10.10.10.11,"
                                     "\"/dev/serial/by-path/a,b\",verified,,0,"
                                     "00:00:00:00:00:00,"),
                 qPrintable(lines[2]));
        const QStringList verified = lines[2].split(',').mid(10);
        QCOMPARE(verified.mid(0, 2),
                 (QStringList{QSysInfo::machineHostName(),
                              QString::fromLocal8Bit(getpwuid(geteuid())->pw_name)}));
        QVERIFY(!verified[2].isEmpty() && verified[3].isEmpty() && verified[4] >= verified[2]);
        QCOMPARE(lines[3], QString());

        const Run table = run({"ledger", "--ledger", file});
        QCOMPARE(table.status, 0);
        QCOMPARE(table.out.count('\n'), 3);
        QVERIFY(table.out.contains("verified"));

        // A failed export must never pass for a complete one.
        QProcess full;
        full.setStandardOutputFile("/dev/full");
        Start(full, {"ledger", "--ledger", file, "--csv"});
        const Run failed = Finish(full);
        QCOMPARE(failed.status, 1);
        QCOMPARE(failed.err, "quillonctl: cannot write standard output: No space left on device\n");
    }
};

QTEST_GUILESS_MAIN(tst_quillonctl)
#include "tst_quillonctl.moc"
