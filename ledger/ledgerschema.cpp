#include "ledger/ledgerschema.h"

#include "ledger/ledgerconnection.h"
#include "ledger/ledgerfile.h"

#include <QSet>
#include <QSqlQuery>
#include <QVariant>

#include <utility>

namespace quillon {

namespace {

// %1 is the 64-bit integer type, %2 the devices' key, which numbers itself.
const char *const kTables[] = {
    // `allocated` counts the numbers handed out; it only grows, so a number whose row failed,
    // or whose process was killed before the write, is never handed out again. The checks keep
    // a hand edit from making the count wrap or fall behind the numbers' types.
    "CREATE TABLE ranges ("
    " id INTEGER PRIMARY KEY CHECK (id = 1),"
    " serial_first %1 NOT NULL, serial_last %1 NOT NULL,"
    " mac_first %1 NOT NULL, mac_last %1 NOT NULL,"
    " ip_first %1, ip_last %1," // NULL when every device gets the same address
    " allocated %1 NOT NULL DEFAULT 0,"
    " CHECK (serial_first >= 0 AND serial_first <= serial_last AND serial_last <= 4294967295"
    " AND mac_first >= 0 AND mac_first <= mac_last AND mac_last <= 281474976710655"
    " AND (ip_first IS NULL) = (ip_last IS NULL)"
    " AND (ip_first IS NULL OR (ip_first >= 0 AND ip_first <= ip_last"
    " AND ip_last <= 4294967295))"
    " AND allocated >= 0))",
    "CREATE TABLE devices ("
    " id %2,"
    " serial %1 NOT NULL UNIQUE CHECK (serial BETWEEN 0 AND 4294967295),"
    " mac %1 NOT NULL UNIQUE CHECK (mac BETWEEN 0 AND 281474976710655),"
    " ip %1 NOT NULL,"
    " port TEXT NOT NULL, previous_serial %1 NOT NULL, previous_mac %1 NOT NULL,"
    " time TEXT NOT NULL,"
    " state TEXT NOT NULL CHECK (state IN ('allocated', 'written', 'verified', 'failed')),"
    " reason TEXT NOT NULL DEFAULT '',"
    " station TEXT NOT NULL DEFAULT '', operator TEXT NOT NULL DEFAULT '',"
    " allocated_at TEXT NOT NULL DEFAULT '', written_at TEXT NOT NULL DEFAULT '',"
    " verified_at TEXT NOT NULL DEFAULT '')",
};

// What every ledger has had from the start, and what rows gained later.
const QStringList kDevicesColumns{QStringLiteral("id"),    QStringLiteral("serial"),
                                  QStringLiteral("mac"),   QStringLiteral("ip"),
                                  QStringLiteral("port"),  QStringLiteral("previous_serial"),
                                  QStringLiteral("time"),  QStringLiteral("previous_mac"),
                                  QStringLiteral("state"), QStringLiteral("reason")};
const QStringList kRecordColumns{QStringLiteral("station"), QStringLiteral("operator"),
                                 QStringLiteral("allocated_at"), QStringLiteral("written_at"),
                                 QStringLiteral("verified_at")};
const QStringList kRangesColumns{QStringLiteral("id"),          QStringLiteral("serial_first"),
                                 QStringLiteral("serial_last"), QStringLiteral("mac_first"),
                                 QStringLiteral("mac_last"),    QStringLiteral("ip_first"),
                                 QStringLiteral("ip_last"),     QStringLiteral("allocated")};

constexpr qint64 kMaxNumber32 = 4294967295;
constexpr qint64 kMaxMacNumber = (qint64{1} << 48) - 1;

} // namespace

QString RangeText(const QString &name, qint64 first, qint64 last, QString (*text)(qint64))
{
    if (!text) {
        return QStringLiteral("%1 %2 to %3").arg(name).arg(first).arg(last);
    }
    return QStringLiteral("%1 %2 to %3").arg(name, text(first), text(last));
}

QString MacNumberText(qint64 n)
{
    return MacText(MacFromNumber(static_cast<quint64>(n)));
}

QString AddressNumberText(qint64 n)
{
    return AddressText(AddressFromNumber(static_cast<quint32>(n)));
}

bool LedgerSchema::create(const ProvisionPlan &plan, QString *error)
{
    const bool postgres = sql_.isPostgres();
    const QString integer = postgres ? QStringLiteral("BIGINT") : QStringLiteral("INTEGER");
    const QString key =
        postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
    for (const char *sql : kTables) {
        const QString statement = QString::fromLatin1(sql)
                                      .replace(QStringLiteral("%1"), integer)
                                      .replace(QStringLiteral("%2"), key);
        if (!sql_.exec(statement, error)) {
            return false;
        }
    }
    // SQLite marks the file itself; PostgreSQL gets a table that says whose tables these are.
    const QString mark =
        postgres ? QStringLiteral("CREATE TABLE quillon_ledger (application_id BIGINT NOT NULL);"
                                  "INSERT INTO quillon_ledger VALUES (%1)")
                 : QStringLiteral("PRAGMA application_id=%1");
    if (!sql_.exec(mark.arg(LedgerFile::kApplicationId), error)) {
        return false;
    }
    QSqlQuery query(sql_.db());
    query.prepare(
        QStringLiteral("INSERT INTO ranges (id, serial_first, serial_last, mac_first, mac_last, "
                       "ip_first, ip_last) VALUES (1, ?, ?, ?, ?, ?, ?)"));
    const QVariant none{QMetaType(QMetaType::LongLong)};
    query.addBindValue(static_cast<qint64>(plan.serial.first));
    query.addBindValue(static_cast<qint64>(plan.serial.last));
    query.addBindValue(static_cast<qint64>(plan.mac.first));
    query.addBindValue(static_cast<qint64>(plan.mac.last));
    query.addBindValue(plan.ipIsRange ? QVariant(qint64(plan.ip.first)) : none);
    query.addBindValue(plan.ipIsRange ? QVariant(qint64(plan.ip.last)) : none);
    return sql_.exec(query, error);
}

bool LedgerSchema::check(QString *error)
{
    const bool postgres = sql_.isPostgres();
    QSqlQuery query(sql_.db());
    if (postgres) {
        // A database without the mark, or with another program's, is not touched.
        if (!query.exec(QStringLiteral("SELECT application_id FROM quillon_ledger")) ||
            !query.next() || query.value(0).toLongLong() != LedgerFile::kApplicationId) {
            *error = QStringLiteral("%1 is not a Quillon ledger").arg(sql_.name());
            return false;
        }
    }
    const QString columnsOf =
        postgres ? QStringLiteral("SELECT column_name FROM information_schema.columns WHERE "
                                  "table_schema = current_schema() AND table_name = '%1'")
                 : QStringLiteral("SELECT name FROM pragma_table_info('%1')");
    const auto columns = [&](const QString &table) {
        QSet<QString> names;
        if (query.exec(columnsOf.arg(table))) {
            while (query.next()) {
                names << query.value(0).toString();
            }
        }
        return names;
    };
    const QSet<QString> devices = columns(QStringLiteral("devices"));
    const QSet<QString> ranges = columns(QStringLiteral("ranges"));
    const QSet<QString> required(kDevicesColumns.begin(), kDevicesColumns.end());
    const QSet<QString> rangeColumns(kRangesColumns.begin(), kRangesColumns.end());
    if (!devices.contains(required) || !ranges.contains(rangeColumns)) {
        *error = QStringLiteral("%1 is not a Quillon ledger: its tables are damaged or "
                                "incomplete")
                     .arg(sql_.name());
        return false;
    }
    missingColumns_.clear();
    for (const QString &column : kRecordColumns) {
        if (!devices.contains(column)) {
            missingColumns_ << column;
        }
    }
    return true;
}

bool LedgerSchema::migrate(QString *error)
{
    if (missingColumns_.isEmpty()) {
        return true;
    }
    // Checked again inside the transaction: another process may have migrated meanwhile.
    if (!sql_.beginWrite(error) || !check(error)) {
        sql_.rollback();
        return false;
    }
    for (const QString &column : std::as_const(missingColumns_)) {
        if (!sql_.exec(QStringLiteral("ALTER TABLE devices ADD COLUMN %1 TEXT NOT NULL DEFAULT ''")
                           .arg(column),
                       error)) {
            sql_.rollback();
            return false;
        }
    }
    missingColumns_.clear();
    return sql_.commit(error);
}

bool LedgerSchema::checkRanges(QString *error)
{
    // Rows inside a range but beyond its count are numbers the next allocation would repeat.
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral(
        "SELECT serial_first, serial_last, mac_first, mac_last, ip_first, ip_last, allocated, "
        "(SELECT count(*) FROM devices d WHERE (d.serial >= r.serial_first + r.allocated AND "
        "d.serial <= r.serial_last) OR (d.mac >= r.mac_first + r.allocated AND "
        "d.mac <= r.mac_last)), (SELECT count(*) FROM ranges) FROM ranges r WHERE id = 1"));
    if (!sql_.exec(query, error)) {
        return false;
    }
    if (!query.next() || query.value(8).toLongLong() != 1) {
        *error = QStringLiteral("the ledger %1 holds no ranges, or more than one").arg(sql_.name());
        return false;
    }
    const auto v = [&](int column) {
        return query.value(column).toLongLong();
    };
    const bool ipRange = !query.value(4).isNull();
    const bool sound =
        v(0) >= 0 && v(0) <= v(1) && v(1) <= kMaxNumber32 && v(2) >= 0 && v(2) <= v(3) &&
        v(3) <= kMaxMacNumber && ipRange == !query.value(5).isNull() &&
        (!ipRange || (v(4) >= 0 && v(4) <= v(5) && v(5) <= kMaxNumber32)) && v(6) >= 0 && v(7) == 0;
    if (!sound) {
        *error = QStringLiteral("the ledger %1 has unsound ranges (edited by hand?): a range "
                                "runs backwards or out of bounds, or its count of numbers "
                                "handed out is behind its rows; nothing is allocated from it")
                     .arg(sql_.name());
        return false;
    }
    return true;
}

bool LedgerSchema::adopt(const ProvisionPlan &plan, QString *error)
{
    bool grows = false;
    if (!matchPlan(plan, &grows, error)) {
        return false;
    }
    // Matched again inside the transaction: another run may have raised them meanwhile.
    if (grows && (!sql_.beginWrite(error) || !matchPlan(plan, &grows, error) ||
                  !growTo(plan, error) || !sql_.commit(error))) {
        sql_.rollback();
        return false;
    }
    return true;
}

bool LedgerSchema::matchPlan(const ProvisionPlan &plan, bool *grows, QString *error)
{
    const qint64 ipFirst = static_cast<qint64>(plan.ip.first);
    const qint64 ipLast = static_cast<qint64>(plan.ip.last);
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral("SELECT serial_first, serial_last, mac_first, mac_last, "
                                 "ip_first, ip_last FROM ranges WHERE id = 1"));
    if (!sql_.exec(query, error) || !query.next()) {
        return false;
    }
    const bool storedIpRange = !query.value(4).isNull();
    const auto differs = [&](int column, qint64 first) {
        return query.value(column).toLongLong() != first;
    };
    const auto shrinks = [&](int column, qint64 last) {
        return query.value(column).toLongLong() > last;
    };
    QString difference;
    if (differs(0, plan.serial.first) || shrinks(1, plan.serial.last)) {
        difference = RangeText(QStringLiteral("serial numbers"), query.value(0).toLongLong(),
                               query.value(1).toLongLong());
    } else if (differs(2, plan.mac.first) || shrinks(3, plan.mac.last)) {
        difference = RangeText(QStringLiteral("MACs"), query.value(2).toLongLong(),
                               query.value(3).toLongLong(), MacNumberText);
    } else if (storedIpRange != plan.ipIsRange ||
               (storedIpRange && (differs(4, ipFirst) || shrinks(5, ipLast)))) {
        difference = storedIpRange
                         ? RangeText(QStringLiteral("IP addresses"), query.value(4).toLongLong(),
                                     query.value(5).toLongLong(), AddressNumberText)
                         : QStringLiteral("one IP address for every device");
    }
    *grows = query.value(1).toLongLong() < qint64(plan.serial.last) ||
             query.value(3).toLongLong() < qint64(plan.mac.last) ||
             (storedIpRange && query.value(5).toLongLong() < ipLast);
    query.finish();
    if (!difference.isEmpty()) {
        *error = QStringLiteral("the ledger %1 belongs to another plan (%2); only the last "
                                "values of its ranges may be raised")
                     .arg(sql_.name(), difference);
        return false;
    }
    return true;
}

bool LedgerSchema::growTo(const ProvisionPlan &plan, QString *error)
{
    const qint64 ipLast = static_cast<qint64>(plan.ip.last);
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral(
        "UPDATE ranges SET serial_last = CASE WHEN serial_last < ? THEN ? ELSE serial_last END, "
        "mac_last = CASE WHEN mac_last < ? THEN ? ELSE mac_last END, "
        "ip_last = CASE WHEN ip_last < ? THEN ? ELSE ip_last END WHERE id = 1"));
    const QVariant raised[] = {
        static_cast<qint64>(plan.serial.last), static_cast<qint64>(plan.mac.last),
        plan.ipIsRange ? QVariant(ipLast) : QVariant(QMetaType(QMetaType::LongLong))};
    for (const QVariant &last : raised) {
        query.addBindValue(last);
        query.addBindValue(last);
    }
    return sql_.exec(query, error);
}

} // namespace quillon
