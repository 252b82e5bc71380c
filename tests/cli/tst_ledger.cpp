// The provisioning ledger on a real SQLite file, with real second processes.
#include "ctlharness.h"
#include "ledger/ledger.h"

#include <QFileInfo>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>

using namespace quillon;
using namespace quillon::test;
using namespace Qt::StringLiterals;

namespace {

ProvisionPlan Plan(const QString &field = "serial", const QByteArray &value = {})
{
    QString error;
    const std::optional<ProvisionPlan> plan =
        ProvisionPlan::parse(value.isEmpty() ? kPlan : PlanWith(field, value), &error);
    if (!plan) {
        qFatal("test plan refused: %s", qPrintable(error));
    }
    return *plan;
}

Ledger::Allocation Allocate(Ledger &ledger)
{
    const Ledger::AllocateResult result =
        ledger.allocate({{"/dev/ttyUSB0", 7, MacAddress{2, 0x5C}}}).first();
    if (result.outcome != Ledger::Outcome::Allocated) {
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

    // Makes the ledger on first use.
    std::unique_ptr<Ledger> open(const ProvisionPlan &plan = Plan())
    {
        QString error;
        const LedgerLocation location = *LedgerLocation::parse(path_, &error);
        return QFileInfo::exists(path_) ? Ledger::openForPlan(location, plan, &error)
                                        : Ledger::create(location, plan, &error);
    }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        path_ = dir_->filePath("ledger.sqlite");
    }

    // A number once handed out never comes back, not after a failure, not in a later run; only
    // a verified row's serial number and MAC together count as provisioned.
    void neverTwice()
    {
        QString error;
        std::unique_ptr<Ledger> ledger = open();
        QVERIFY(ledger);
        const Ledger::Allocation failed = Allocate(*ledger);
        QVERIFY(ledger->markFailed(failed.id, "Timeout", &error));
        const Ledger::Allocation verified = Allocate(*ledger);
        QVERIFY2(ledger->markWritten(verified.id, &error), qPrintable(error));
        QVERIFY(ledger->markVerified(verified.id, &error));
        QCOMPARE(*ledger->isProvisioned(verified.serial, verified.mac, &error), true);
        QCOMPARE(*ledger->isProvisioned(failed.serial, failed.mac, &error), false);
        QCOMPARE(*ledger->isProvisioned(verified.serial, failed.mac, &error), false);
        QCOMPARE(Allocate(*open()).serial, 1002u);
    }

    // Only a raised "last" (see rangesGrow) or a changed single setting belong to the same plan.
    void otherPlans_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<bool>("accepted");
        Row("serial last lowered", "serial", R"({"first": 1000, "last": 1500})"_ba, false);
        Row("serial first moved", "serial", R"({"first": 1001, "last": 1999})"_ba, false);
        Row("mac last raised", "mac",
            R"({"first": "02:5C:E1:C0:10:00", "last": "02:5C:E1:C0:20:00"})"_ba, true);
        Row("mac first moved", "mac",
            R"({"first": "02:5C:E1:C0:00:01", "last": "02:5C:E1:C0:13:E7"})"_ba, false);
        Row("ip changed, one for all", "ip", R"("10.10.10.40")"_ba, true);
        Row("ip becomes a range", "ip", R"({"first": "10.10.10.20", "last": "10.10.10.29"})"_ba,
            false);
    }
    void otherPlans()
    {
        QFETCH(QString, field);
        QFETCH(QByteArray, value);
        QFETCH(bool, accepted);
        Allocate(*open());
        QString error;
        std::unique_ptr<Ledger> ledger =
            Ledger::openForPlan(*LedgerLocation::parse(path_, &error), Plan(field, value), &error);
        QCOMPARE(bool(ledger), accepted);
        if (!accepted) {
            QVERIFY2(error.contains("another plan"), qPrintable(error));
            QVERIFY(open()); // the refusal left the stored ranges alone
            return;
        }
        QCOMPARE(Allocate(*ledger).serial, 1001u);
    }

    // A raised "last" grows the stored range, for a run already open too; the old plan is then
    // no longer the ledger's.
    void rangesGrow()
    {
        std::unique_ptr<Ledger> small = open(Plan("serial", R"({"first": 1, "last": 1})"));
        Allocate(*small);
        QCOMPARE(small->allocate({{"/dev/x", 0, {}}}).first().outcome, Ledger::Outcome::Exhausted);
        std::unique_ptr<Ledger> grown = open(Plan("serial", R"({"first": 1, "last": 3})"));
        QVERIFY(grown);
        QCOMPARE(Allocate(*small).serial, 2u);
        QCOMPARE(Allocate(*grown).serial, 3u);
        QVERIFY(!open(Plan("serial", R"({"first": 1, "last": 1})")));
    }

    // A copy, plain or a backup, would hand out the original's numbers again: refused for a
    // run until adopted, while the original stays its own ledger.
    void copiesRefusedUntilAdopted()
    {
        Allocate(*open());
        QString error;
        const auto at = [&](const QString &name) {
            return *LedgerLocation::parse(dir_->filePath(name), &error);
        };
        QVERIFY(Ledger::openExisting(at("ledger.sqlite"), &error)
                    ->backup(dir_->filePath("backup.sqlite"), &error));
        QVERIFY(QFile::copy(path_, dir_->filePath("copy.sqlite")));
        for (const QString name : {"backup.sqlite", "copy.sqlite"}) {
            QVERIFY(!Ledger::openForPlan(at(name), Plan(), &error));
            QVERIFY2(error.contains("is a copy of a ledger") && error.contains("ledger adopt"),
                     qPrintable(error));
            QVERIFY2(Ledger::adopt(at(name), &error), qPrintable(error));
            QCOMPARE(Allocate(*Ledger::openForPlan(at(name), Plan(), &error)).serial, 1001u);
        }
        QCOMPARE(Allocate(*open()).serial, 1001u);
    }

    // A ledger made before rows named their station, operator and times: listed as it is,
    // given the new columns when a run opens it, its old rows and count kept.
    void olderLedgerMigrates()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "old");
            db.setDatabaseName(path_);
            QVERIFY(db.open());
            for (const char *sql :
                 {"PRAGMA journal_mode=WAL", "PRAGMA application_id=1363952711",
                  "CREATE TABLE ranges (id INTEGER PRIMARY KEY, serial_first, serial_last, "
                  "mac_first, mac_last, ip_first, ip_last, allocated)",
                  "CREATE TABLE devices (id INTEGER PRIMARY KEY, serial UNIQUE, mac UNIQUE, ip, "
                  "port, previous_serial, previous_mac, time, state, reason)",
                  "INSERT INTO ranges VALUES (1, 1000, 1999, 2597947707392, 2597947708391, NULL, "
                  "NULL, 1)",
                  "INSERT INTO devices VALUES (1, 1000, 2597947707392, 168430091, '/dev/old', 0, "
                  "0, '2024-01-01T00:00:00Z', 'verified', '')"}) {
                QVERIFY2(QSqlQuery(db).exec(sql), sql);
            }
        }
        QSqlDatabase::removeDatabase("old");
        QString error;
        const LedgerLocation location = *LedgerLocation::parse(path_, &error);
        const QByteArray before = ReadFile(path_);
        QCOMPARE(Ledger::openExisting(location, &error)->rows(&error)->value(0).port, "/dev/old");
        QCOMPARE(ReadFile(path_), before);
        const Ledger::Allocation next = Allocate(*open());
        QCOMPARE(next.serial, 1001u);
        const QList<Ledger::Row> rows = *Ledger::openExisting(location, &error)->rows(&error);
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].station, QString());
        QCOMPARE(rows[1].station, QSysInfo::machineHostName());
    }

    // Processes that allocate at the same moment wait for each other; none fails for it.
    void concurrentProcesses()
    {
        constexpr int kProcesses = 4;
        constexpr int kEach = 40;
        const QString plan = dir_->filePath("plan.json");
        QVERIFY(WriteFile(plan, kPlan));
        QVERIFY(open());
        std::vector<std::unique_ptr<QProcess>> clients;
        for (int i = 0; i < kProcesses; ++i) {
            clients.push_back(std::make_unique<QProcess>());
            Start(*clients.back(), {"--allocate", QString::number(kEach), path_, plan},
                  PROVISION_CLIENT);
        }
        QSet<QString> serials;
        QSet<QString> macs;
        for (auto &client : clients) {
            const Run run = Finish(*client);
            QCOMPARE(run.status, 0);
            const QStringList lines = run.out.trimmed().split('\n');
            QCOMPARE(lines.size(), kEach);
            for (const QString &line : lines) {
                serials.insert(line.section(' ', 0, 0));
                macs.insert(line.section(' ', 1));
            }
        }
        QCOMPARE(macs.size(), kProcesses * kEach);
        for (int i = 0; i < kProcesses * kEach; ++i) {
            QVERIFY(serials.contains(QString::number(1000 + i)));
        }
    }
};

QTEST_GUILESS_MAIN(tst_ledger)
#include "tst_ledger.moc"
