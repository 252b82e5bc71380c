// quillonctl run in-process: refusals before any device, the ports list and the ledger list.
#include "cli/ledger.h"
#include "cli/quillonctl.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

const QByteArray kPlan =
    R"({"serial": {"first": 1000, "last": 1999}, "mac": {"first": "02:5C:E1:C0:10:00", )"
    R"("last": "02:5C:E1:C0:13:E7"}, "ip": "10.10.10.11", "mask": "255.255.255.0", )"
    R"("gateway": "10.10.10.1", "dns1": "10.10.10.1", "dns2": "0.0.0.0"})";

void WriteFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
}

} // namespace

class tst_quillonctl : public QObject
{
    Q_OBJECT
private:
    QTemporaryDir dir_;
    PortMap map_;

    // Runs in the temporary directory, where "@" in an argument stands for its path.
    Run run(QStringList arguments)
    {
        for (QString &argument : arguments) {
            argument.replace('@', dir_.path());
        }
        Run result;
        QTextStream out(&result.out);
        QTextStream err(&result.err);
        CtlOptions options;
        options.portMap = map_;
        const QString cwd = QDir::currentPath();
        QDir::setCurrent(dir_.path());
        result.status = RunQuillonCtl(QStringList{"quillonctl"} + arguments, options, out, err);
        QDir::setCurrent(cwd);
        return result;
    }

private slots:
    void initTestCase()
    {
        // COM3 is a plain file: it exists, so resolution passes, but is no serial device.
        WriteFile(dir_.filePath("tty3"), {});
        QVERIFY(QFile::link(dir_.filePath("tty3"), dir_.filePath("by-id")));
        map_.setPort(3, HostPort{dir_.filePath("tty3"), "USB serial", {}, {}, {}});
        WriteFile(dir_.filePath("plan.json"), kPlan);
        WriteFile(dir_.filePath("example.json"), R"({"ip": "10.0.0.2", "serial": 12345678})");
        WriteFile(dir_.filePath("bad.json"), R"({"ip": "10.0.0.256"})");
        WriteFile(dir_.filePath("other-plan.json"),
                  QByteArray(kPlan).replace("\"first\": 1000", "\"first\": 1"));
    }

    // Every refusal comes before a device is touched: one line on stderr naming the problem.
    // Requests that pass all checks reach the port, a plain file that no serial layer opens.
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
        row("read COM3", {"read", "COM3"}, 3, "Port error: COM3 (");
        row("read path", {"read", "@/tty3", "--json"}, 3, "tty3 cannot be opened");
        row("read lower case com", {"read", "com3"}, 2, "no port named \"com3\"");
        row("read COM03", {"read", "COM03"}, 2, "no port named \"COM03\"");
        row("read COM21", {"read", "COM21"}, 2, "no port named \"COM21\"");
        row("read relative path", {"read", "tty3"}, 2, "no port named \"tty3\"");
        row("read unmapped COM", {"read", "COM4"}, 3, "Port error: COM4 does not exist");
        row("read no port", {"read"}, 2, "read: give a PORT");
        row("read two ports", {"read", "COM3", "COM4"}, 2, "give one PORT only");
        row("read unknown option", {"read", "COM3", "--jsn"}, 2, "jsn");
        row("write all options",
            {"write", "COM3", "--serial", "123456789", "--mac", "02-5c-e1-c0-00-01", "--ip",
             "10.0.0.1", "--mask", "255.0.0.0", "--gateway", "10.0.0.254", "--dns1", "1.1.1.1",
             "--dns2", "8.8.8.8", "--json"},
            3, "Port error: COM3");
        row("write from file", {"write", "COM3", "--from", "@/example.json"}, 3, "Port error");
        row("write defaults", {"write", "COM3", "--defaults"}, 3, "Port error: COM3");
        row("write nothing", {"write", "COM3"}, 2, "nothing to write");
        row("write serial too large", {"write", "COM3", "--serial", "2147483648"}, 2, "--serial");
        row("write bad mac", {"write", "COM3", "--mac", "02:5C:E1:C0:00"}, 2, "--mac");
        row("write bad gateway", {"write", "COM3", "--gateway", "1.2.3"}, 2, "--gateway");
        row("write ip twice", {"write", "COM3", "--ip", "1.2.3.4", "--ip", "1.2.3.5"}, 2,
            "--ip is given more than once");
        row("write bad file", {"write", "COM3", "--from", "@/bad.json"}, 2, "\"ip\"");
        row("write missing file", {"write", "COM3", "--from", "@/none.json"}, 2, "none.json");
        // A bad value is refused before a port problem is reported.
        row("write bad value, unmapped port", {"write", "COM4", "--dns1", "x"}, 2, "--dns1");
        row("format without --yes", {"format", "COM3"}, 2, "erase ALL files");
        row("format --yes", {"format", "COM3", "--yes"}, 3, "Port error: COM3");
        row("provision no plan", {"provision", "COM3"}, 2, "--plan");
        row("provision no port", {"provision", "--plan", "@/plan.json"}, 2, "PORT");
        row("provision missing plan", {"provision", "--plan", "@/none.json", "COM3"}, 2,
            "none.json");
        row("provision bad plan", {"provision", "--plan", "@/bad.json", "COM3"}, 2,
            "the plan has no \"serial\"");
        row("provision same port twice", {"provision", "--plan", "@/plan.json", "COM3", "COM3"}, 2,
            "COM3 and COM3 name the same device");
        row("provision same device by link",
            {"provision", "--plan", "@/plan.json", "COM3", "@/by-id"}, 2, "the same device");
        row("provision unusable ledger",
            {"provision", "--plan", "@/plan.json", "--ledger", "@/no/such/dir/l.sqlite", "COM3"}, 2,
            "cannot open the ledger");
        row("ledger missing", {"ledger", "--ledger", "@/none.sqlite"}, 2, "no ledger");
        row("ledger with a port", {"ledger", "COM3"}, 2, "takes no PORT");
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
    }

    // A ledger that belongs to another plan is refused, and nothing in it changes.
    void provisionAgainstAnotherPlansLedger()
    {
        QCOMPARE(
            run({"provision", "--plan", "@/plan.json", "--ledger", "@/l.sqlite", "COM3"}).status,
            1);
        const Run refused =
            run({"provision", "--plan", "@/other-plan.json", "--ledger", "@/l.sqlite", "COM3"});
        QCOMPARE(refused.status, 2);
        QVERIFY2(refused.err.contains("another plan (serial numbers 1000 to 1999)"),
                 qPrintable(refused.err));
    }

    void ledgerListing()
    {
        QString error;
        {
            std::unique_ptr<Ledger> ledger = Ledger::openForPlan(
                dir_.filePath(Ledger::kDefaultFile), *ProvisionPlan::parse(kPlan, &error), &error);
            QVERIFY2(ledger, qPrintable(error));
            const auto first = ledger->allocate("/dev/ttyUSB0", 4294967295u, {2, 0x5C, 0xE1, 0xC0});
            QVERIFY(ledger->markFailed(first.allocation.id, "Timeout, no reply", &error));
            const auto second = ledger->allocate("/dev/serial/by-path/a,b", 0, {});
            QVERIFY(ledger->markVerified(second.allocation.id, &error));
        }
        const Run csv = run({"ledger", "--csv"});
        QCOMPARE(csv.status, 0);
        const QStringList lines = csv.out.split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], "serial,mac,ip,port,state,reason,previous_serial,previous_mac,time");
        QVERIFY2(lines[1].startsWith("1000,02:5C:E1:C0:10:00,10.10.10.11,/dev/ttyUSB0,failed,"
                                     "\"Timeout, no reply\",4294967295,02:5C:E1:C0:00:00,"),
                 qPrintable(lines[1]));
        QVERIFY2(lines[2].startsWith("1001,02:5C:E1:C0:10:01,10.10.10.11,"
                                     "\"/dev/serial/by-path/a,b\",verified,,0,"
                                     "00:00:00:00:00:00,"),
                 qPrintable(lines[2]));
        QCOMPARE(lines[3], QString());

        const Run table = run({"ledger"});
        QCOMPARE(table.status, 0);
        QCOMPARE(table.out.count('\n'), 3);
        QVERIFY(table.out.startsWith("SERIAL"));
        QVERIFY(table.out.contains("verified"));
    }

    void ports()
    {
        const Run text = run({"ports"});
        QCOMPARE(text.status, 0);
        QVERIFY2(text.out.startsWith("COM3  " + dir_.filePath("tty3")), qPrintable(text.out));
        QVERIFY(text.out.contains("USB serial"));
        const Run json = run({"ports", "--json"});
        QCOMPARE(json.status, 0);
        const QJsonArray ports = QJsonDocument::fromJson(json.out.toUtf8()).array();
        QCOMPARE(ports.size(), 1);
        QCOMPARE(ports[0]["port"].toString(), QStringLiteral("COM3"));
        QCOMPARE(ports[0]["device"].toString(), dir_.filePath("tty3"));
        QCOMPARE(ports[0]["description"].toString(), QStringLiteral("USB serial"));
        // A plain file is no serial device; the line says why it does not open.
        QCOMPARE(ports[0]["opens"].toBool(), false);
        QVERIFY(ports[0]["reason"].toString().startsWith("Port error: COM3"));
    }
};

QTEST_GUILESS_MAIN(tst_quillonctl)
#include "tst_quillonctl.moc"
