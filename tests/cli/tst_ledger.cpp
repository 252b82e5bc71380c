// The provisioning ledger on a real SQLite file, with real second processes.
#include "cli/ledger.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;

namespace {

const QByteArray kPlan =
    R"({"serial": {"first": 1000, "last": 1999}, "mac": {"first": "02:5C:E1:C0:10:00", )"
    R"("last": "02:5C:E1:C0:13:E7"}, "ip": "10.10.10.11", "mask": "255.255.255.0", )"
    R"("gateway": "10.10.10.1", "dns1": "10.10.10.1", "dns2": "0.0.0.0"})";

// The standard plan with some fields replaced, each given as JSON text.
ProvisionPlan Plan(const QMap<QString, QByteArray> &changes = {})
{
    QJsonObject plan = QJsonDocument::fromJson(kPlan).object();
    for (auto it = changes.begin(); it != changes.end(); ++it) {
        plan.insert(it.key(), QJsonDocument::fromJson("[" + it.value() + "]")[0]);
    }
    QString error;
    const std::optional<ProvisionPlan> parsed =
        ProvisionPlan::parse(QJsonDocument(plan).toJson(), &error);
    if (!parsed) {
        qFatal("test plan refused: %s", qPrintable(error));
    }
    return *parsed;
}

QByteArray PlanJson(const ProvisionPlan &plan)
{
    QJsonObject json = QJsonDocument::fromJson(kPlan).object();
    json.insert("serial", QJsonObject{{"first", qint64(plan.serial.first)},
                                      {"last", qint64(plan.serial.last)}});
    return QJsonDocument(json).toJson();
}

Ledger::Allocation Allocate(Ledger &ledger)
{
    const Ledger::AllocateResult result = ledger.allocate("/dev/ttyUSB0", 7, MacAddress{2, 0x5C});
    if (result.outcome != Ledger::Outcome::allocated) {
        qFatal("allocation failed: %s", qPrintable(result.error));
    }
    return result.allocation;
}

} // namespace

class tst_ledger : public QObject
{
    Q_OBJECT
private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString path_;

    std::unique_ptr<Ledger> open(const ProvisionPlan &plan = Plan())
    {
        QString error;
        std::unique_ptr<Ledger> ledger = Ledger::openForPlan(path_, plan, &error);
        if (!ledger) {
            qWarning("%s", qPrintable(error));
        }
        return ledger;
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        path_ = dir_->filePath(QStringLiteral("ledger.sqlite"));
    }

    void allocatesFromTheStartInOrder()
    {
        std::unique_ptr<Ledger> ledger = open();
        QVERIFY(ledger);
        for (int i = 0; i < 3; ++i) {
            const Ledger::Allocation a = Allocate(*ledger);
            QCOMPARE(a.serial, quint32(1000 + i));
            QCOMPARE(MacText(a.mac), QStringLiteral("02:5C:E1:C0:10:0%1").arg(i));
            QCOMPARE(AddressText(a.ip), QStringLiteral("10.10.10.11"));
        }
        QString error;
        const QList<Ledger::Row> rows = *ledger->rows(&error);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0].port, QStringLiteral("/dev/ttyUSB0"));
        QCOMPARE(rows[0].previousSerial, 7u);
        QCOMPARE(MacText(rows[0].previousMac), QStringLiteral("02:5C:00:00:00:00"));
        QCOMPARE(rows[0].state, Ledger::State::allocated);
        QVERIFY(QDateTime::fromString(rows[0].time, Qt::ISODateWithMs).isValid());
    }

    // A number once handed out never comes back: not after a failure, not in a later run.
    void failedAndAbandonedNumbersAreSkipped()
    {
        QString error;
        {
            std::unique_ptr<Ledger> ledger = open();
            const Ledger::Allocation failed = Allocate(*ledger);
            QVERIFY(ledger->markFailed(failed.id, "Timeout", &error));
            const Ledger::Allocation verified = Allocate(*ledger);
            QCOMPARE(verified.serial, 1001u);
            QVERIFY2(ledger->markWritten(verified.id, &error), qPrintable(error));
            QVERIFY(ledger->markVerified(verified.id, &error));
            Allocate(*ledger); // abandoned: the run ends before the write
            QCOMPARE(*ledger->isProvisioned(1001, verified.mac, &error), true);
            QCOMPARE(*ledger->isProvisioned(1000, failed.mac, &error), false);
            QCOMPARE(*ledger->isProvisioned(1001, failed.mac, &error), false);
            QVERIFY(!ledger->markVerified(999, &error));
        }
        std::unique_ptr<Ledger> again = open();
        QCOMPARE(Allocate(*again).serial, 1003u);
        const QList<Ledger::Row> rows = *again->rows(&error);
        QCOMPARE(rows[0].state, Ledger::State::failed);
        QCOMPARE(rows[0].reason, QStringLiteral("Timeout"));
        QCOMPARE(rows[1].state, Ledger::State::verified);
        QCOMPARE(rows[2].state, Ledger::State::allocated);
    }

    void exhausted_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("range"); // two numbers' worth
        QTest::addColumn<QString>("named");
        QTest::newRow("serial") << QByteArray("serial") << QByteArray(R"({"first": 5, "last": 6})")
                                << "serial numbers 5 to 6";
        QTest::newRow("mac") << QByteArray("mac")
                             << QByteArray(R"({"first": "02:00:00:00:00:FF", )"
                                           R"("last": "02:00:00:00:01:00"})")
                             << "MACs 02:00:00:00:00:FF to 02:00:00:00:01:00";
        QTest::newRow("ip") << QByteArray("ip")
                            << QByteArray(R"({"first": "10.0.0.255", "last": "10.0.1.0"})")
                            << "IP addresses 10.0.0.255 to 10.0.1.0";
    }
    void exhausted()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, range);
        QFETCH(QString, named);
        std::unique_ptr<Ledger> ledger = open(Plan({{field, range}}));
        QVERIFY(ledger);
        const Ledger::Allocation second = (Allocate(*ledger), Allocate(*ledger));
        if (field == "ip") {
            QCOMPARE(AddressText(second.ip), QStringLiteral("10.0.1.0"));
        }
        for (int attempt = 0; attempt < 2; ++attempt) {
            const Ledger::AllocateResult result = ledger->allocate("/dev/ttyUSB1", 0, {});
            QCOMPARE(result.outcome, Ledger::Outcome::exhausted);
            QVERIFY2(result.error.contains(named), qPrintable(result.error));
        }
        QString error;
        QCOMPARE(ledger->rows(&error)->size(), 2);
    }

    // Several devices in one transaction: numbered in order until the range runs out, and the
    // count of numbers handed out moves on by the allocated ones only.
    void batchRunsOut()
    {
        std::unique_ptr<Ledger> ledger =
            open(Plan({{"serial", R"({"first": 1000, "last": 1002})"}}));
        QVERIFY(ledger);
        Allocate(*ledger);
        const QList<Ledger::AllocationRequest> requests{
            {"/dev/a", 1, {}}, {"/dev/b", 2, {}}, {"/dev/c", 3, {}}};
        const QList<Ledger::AllocateResult> results = ledger->allocate(requests);
        QCOMPARE(results.size(), 3);
        QCOMPARE(results[0].allocation.serial, 1001u);
        QCOMPARE(results[1].allocation.serial, 1002u);
        QCOMPARE(results[1].allocation.mac,
                 MacFromNumber(MacNumber(results[0].allocation.mac) + 1));
        QCOMPARE(results[2].outcome, Ledger::Outcome::exhausted);
        QVERIFY(results[2].error.contains("serial numbers 1000 to 1002"));
        QString error;
        const QList<Ledger::Row> rows = *ledger->rows(&error);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[2].port, QStringLiteral("/dev/b"));
        QCOMPARE(rows[2].previousSerial, 2u);
        // Grown again, the next number follows the last one handed out.
        std::unique_ptr<Ledger> grown =
            open(Plan({{"serial", R"({"first": 1000, "last": 1009})"}}));
        QCOMPARE(Allocate(*grown).serial, 1003u);
    }

    void otherPlans_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("same plan")
            << QByteArray("serial") << QByteArray(R"({"first": 1000, "last": 1999})") << true;
        QTest::newRow("serial last raised")
            << QByteArray("serial") << QByteArray(R"({"first": 1000, "last": 2999})") << true;
        QTest::newRow("serial last lowered")
            << QByteArray("serial") << QByteArray(R"({"first": 1000, "last": 1500})") << false;
        QTest::newRow("serial first moved")
            << QByteArray("serial") << QByteArray(R"({"first": 1001, "last": 1999})") << false;
        QTest::newRow("mac last raised")
            << QByteArray("mac")
            << QByteArray(R"({"first": "02:5C:E1:C0:10:00", "last": "02:5C:E1:C0:20:00"})") << true;
        QTest::newRow("mac first moved")
            << QByteArray("mac")
            << QByteArray(R"({"first": "02:5C:E1:C0:00:00", "last": "02:5C:E1:C0:13:E7"})")
            << false;
        QTest::newRow("ip changed, one for all")
            << QByteArray("ip") << QByteArray(R"("10.20.30.40")") << true;
        QTest::newRow("ip becomes a range")
            << QByteArray("ip") << QByteArray(R"({"first": "10.0.0.1", "last": "10.0.0.9"})")
            << false;
        QTest::newRow("mask changed") << QByteArray("mask") << QByteArray(R"("255.0.0.0")") << true;
    }
    void otherPlans()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, value);
        QFETCH(bool, accepted);
        Allocate(*open());
        QString error;
        std::unique_ptr<Ledger> ledger = Ledger::openForPlan(path_, Plan({{field, value}}), &error);
        QCOMPARE(bool(ledger), accepted);
        if (!accepted) {
            QVERIFY2(error.contains("another plan"), qPrintable(error));
            // The refusal left the stored ranges alone.
            QVERIFY(open());
            return;
        }
        QCOMPARE(Allocate(*ledger).serial, 1001u);
    }

    void rangesGrow()
    {
        std::unique_ptr<Ledger> small = open(Plan({{"serial", R"({"first": 1, "last": 1})"}}));
        Allocate(*small);
        QCOMPARE(small->allocate("/dev/x", 0, {}).outcome, Ledger::Outcome::exhausted);
        // A second run with a raised last grows the stored range, for the first run too.
        std::unique_ptr<Ledger> grown = open(Plan({{"serial", R"({"first": 1, "last": 3})"}}));
        QVERIFY(grown);
        QCOMPARE(Allocate(*small).serial, 2u);
        QCOMPARE(Allocate(*grown).serial, 3u);
        // A later run with the old plan is not a shrink of the stored ranges.
        QVERIFY(!open(Plan({{"serial", R"({"first": 1, "last": 1})"}})));
    }

    void unusableFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("named");
        QTest::newRow("missing directory") << "missing directory"
                                           << "cannot open";
        QTest::newRow("directory") << "directory"
                                   << "cannot";
        QTest::newRow("text file") << "text file"
                                   << "ledger";
        QTest::newRow("another database") << "another database"
                                          << "not a Quillon ledger";
    }
    void unusableFiles()
    {
        QFETCH(QString, kind);
        QFETCH(QString, named);
        QString path = path_;
        if (kind == "missing directory") {
            path = dir_->filePath("nowhere/ledger.sqlite");
        } else if (kind == "directory") {
            QVERIFY(QDir(dir_->path()).mkpath(path));
        } else if (kind == "text file") {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray(4096, 'x'));
        } else {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("CREATE TABLE notes (text TEXT)"));
            db.close();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase("other");
        }
        QString error;
        QVERIFY(!Ledger::openForPlan(path, Plan(), &error));
        QVERIFY2(error.contains(named) && !error.contains('\n'), qPrintable(error));
        QVERIFY(!Ledger::openExisting(path, &error));
    }

    // Processes that allocate at the same moment wait for each other; none fails for it.
    void concurrentProcesses()
    {
        constexpr int kProcesses = 4;
        constexpr int kEach = 40;
        const QString planPath = dir_->filePath("plan.json");
        QFile plan(planPath);
        QVERIFY(plan.open(QIODevice::WriteOnly));
        plan.write(PlanJson(Plan()));
        plan.close();

        std::vector<std::unique_ptr<QProcess>> clients;
        for (int i = 0; i < kProcesses; ++i) {
            clients.push_back(std::make_unique<QProcess>());
            clients.back()->start(LEDGER_CLIENT, {path_, planPath, QString::number(kEach)});
        }
        QSet<QString> serials;
        QSet<QString> macs;
        for (auto &client : clients) {
            QVERIFY(client->waitForFinished(60000));
            QCOMPARE(client->exitCode(), 0);
            const QList<QByteArray> lines = client->readAllStandardOutput().trimmed().split('\n');
            QCOMPARE(lines.size(), kEach);
            for (const QByteArray &line : lines) {
                serials.insert(QString::fromLatin1(line.split(' ')[0]));
                macs.insert(QString::fromLatin1(line.split(' ')[1]));
            }
        }
        QCOMPARE(serials.size(), kProcesses * kEach);
        QCOMPARE(macs.size(), kProcesses * kEach);
        for (int i = 0; i < kProcesses * kEach; ++i) {
            QVERIFY(serials.contains(QString::number(1000 + i)));
        }
    }

    // A process killed after its allocation has still used the number up.
    void killedAfterAllocation()
    {
        const QString planPath = dir_->filePath("plan.json");
        QFile plan(planPath);
        QVERIFY(plan.open(QIODevice::WriteOnly));
        plan.write(PlanJson(Plan()));
        plan.close();
        QProcess client;
        client.start(LEDGER_CLIENT, {path_, planPath, "1", "--hold"});
        QByteArray output;
        while (!output.contains("held\n")) {
            QVERIFY(client.waitForReadyRead(10000));
            output += client.readAllStandardOutput();
        }
        QVERIFY(output.startsWith("1000 02:5C:E1:C0:10:00\n"));
        client.kill();
        QVERIFY(client.waitForFinished(10000));
        QCOMPARE(client.exitStatus(), QProcess::CrashExit);

        std::unique_ptr<Ledger> ledger = open();
        QCOMPARE(Allocate(*ledger).serial, 1001u);
        QString error;
        QCOMPARE(ledger->rows(&error)->front().state, Ledger::State::allocated);
    }
};

QTEST_GUILESS_MAIN(tst_ledger)
#include "tst_ledger.moc"
