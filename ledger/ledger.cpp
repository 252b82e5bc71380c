#include "ledger/ledger.h"

#include <QDateTime>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace quillon {

namespace {

// Marks the file as a ledger, so that another program's database is never taken for one.
constexpr qint64 kApplicationId = 0x514C4447; // "QLDG"

const char *const kSchema[] = {
    // `allocated` counts the numbers handed out; it only grows, so a number whose row failed,
    // or whose process was killed before the write, is never handed out again.
    "CREATE TABLE IF NOT EXISTS ranges ("
    " id INTEGER PRIMARY KEY CHECK (id = 1),"
    " serial_first INTEGER NOT NULL, serial_last INTEGER NOT NULL,"
    " mac_first INTEGER NOT NULL, mac_last INTEGER NOT NULL,"
    " ip_first INTEGER, ip_last INTEGER," // NULL when every device gets the same address
    " allocated INTEGER NOT NULL DEFAULT 0)",
    "CREATE TABLE IF NOT EXISTS devices ("
    " id INTEGER PRIMARY KEY,"
    " serial INTEGER NOT NULL UNIQUE, mac INTEGER NOT NULL UNIQUE, ip INTEGER NOT NULL,"
    " port TEXT NOT NULL, previous_serial INTEGER NOT NULL, previous_mac INTEGER NOT NULL,"
    " time TEXT NOT NULL,"
    " state TEXT NOT NULL CHECK (state IN ('allocated', 'written', 'verified', 'failed')),"
    " reason TEXT NOT NULL DEFAULT '')",
};

QString Now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

QString RangeText(
    const QString &name, qint64 first, qint64 last,
    QString (*text)(qint64) = [](qint64 n) { return QString::number(n); })
{
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

} // namespace

std::unique_ptr<Ledger> Ledger::openForPlan(const QString &path, const ProvisionPlan &plan,
                                            QString *error)
{
    std::unique_ptr<Ledger> ledger(new Ledger(path, false, error));
    if (!ledger->sql_.isOpen() || !ledger->setupFor(plan, error)) {
        return nullptr;
    }
    ledger->plan_ = plan;
    return ledger;
}

std::unique_ptr<Ledger> Ledger::openExisting(const QString &path, QString *error)
{
    // SQLite would create a missing file, and listing must not.
    if (!QFileInfo(path).isFile()) {
        *error = QStringLiteral("there is no ledger %1").arg(path);
        return nullptr;
    }
    std::unique_ptr<Ledger> ledger(new Ledger(path, true, error));
    if (!ledger->sql_.isOpen() || !ledger->isLedger(error)) {
        return nullptr;
    }
    return ledger;
}

bool Ledger::isLedger(QString *error)
{
    QSqlQuery query(sql_.db());
    if (!query.exec(QStringLiteral("PRAGMA application_id"))) {
        *error = QStringLiteral("%1 is not a Quillon ledger (%2)")
                     .arg(sql_.path(), query.lastError().databaseText());
        return false;
    }
    if (!query.next() || query.value(0).toLongLong() != kApplicationId) {
        *error = QStringLiteral("%1 is not a Quillon ledger").arg(sql_.path());
        return false;
    }
    return true;
}

bool Ledger::setupFor(const ProvisionPlan &plan, QString *error)
{
    // WAL: a commit costs one append and sync, and readers never wait for the writer. FULL
    // syncs every commit, so an allocation survives a power cut as well as a kill.
    if (!sql_.enableWal(error)) {
        return false;
    }
    if (!sql_.exec(QStringLiteral("PRAGMA synchronous=FULL"), error) ||
        !sql_.beginImmediate(error)) {
        return false;
    }

    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral("SELECT (SELECT application_id FROM pragma_application_id), "
                                 "(SELECT count(*) FROM sqlite_schema)"));
    if (!sql_.exec(query, error) || !query.next()) {
        sql_.rollback();
        return false;
    }
    const qint64 applicationId = query.value(0).toLongLong();
    const bool empty = query.value(1).toLongLong() == 0;
    query.finish();
    if (applicationId != kApplicationId && !empty) {
        sql_.rollback();
        *error = QStringLiteral("%1 is not a Quillon ledger").arg(sql_.path());
        return false;
    }
    if (empty) {
        for (const char *sql : kSchema) {
            if (!sql_.exec(QString::fromLatin1(sql), error)) {
                sql_.rollback();
                return false;
            }
        }
        if (!sql_.exec(QStringLiteral("PRAGMA application_id=%1").arg(kApplicationId), error)) {
            sql_.rollback();
            return false;
        }
    }

    const qint64 ipFirst = static_cast<qint64>(plan.ip.first);
    const qint64 ipLast = static_cast<qint64>(plan.ip.last);
    query.prepare(QStringLiteral("SELECT serial_first, serial_last, mac_first, mac_last, "
                                 "ip_first, ip_last FROM ranges WHERE id = 1"));
    if (!sql_.exec(query, error)) {
        sql_.rollback();
        return false;
    }
    if (query.next()) {
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
            difference = storedIpRange ? RangeText(QStringLiteral("IP addresses"),
                                                   query.value(4).toLongLong(),
                                                   query.value(5).toLongLong(), AddressNumberText)
                                       : QStringLiteral("one IP address for every device");
        }
        query.finish();
        if (!difference.isEmpty()) {
            sql_.rollback();
            *error = QStringLiteral("the ledger %1 belongs to another plan (%2); only the last "
                                    "values of its ranges may be raised")
                         .arg(sql_.path(), difference);
            return false;
        }
        query.prepare(QStringLiteral(
            "UPDATE ranges SET serial_last = max(serial_last, :serial), "
            "mac_last = max(mac_last, :mac), ip_last = CASE WHEN ip_last IS NULL THEN NULL "
            "ELSE max(ip_last, :ip) END WHERE id = 1"));
    } else {
        query.prepare(QStringLiteral(
            "INSERT INTO ranges (id, serial_first, serial_last, mac_first, mac_last, ip_first, "
            "ip_last) VALUES (1, :serialFirst, :serial, :macFirst, :mac, :ipFirst, :ip)"));
        query.bindValue(QStringLiteral(":serialFirst"), static_cast<qint64>(plan.serial.first));
        query.bindValue(QStringLiteral(":macFirst"), static_cast<qint64>(plan.mac.first));
        query.bindValue(QStringLiteral(":ipFirst"), plan.ipIsRange
                                                        ? QVariant(ipFirst)
                                                        : QVariant(QMetaType(QMetaType::LongLong)));
    }
    query.bindValue(QStringLiteral(":serial"), static_cast<qint64>(plan.serial.last));
    query.bindValue(QStringLiteral(":mac"), static_cast<qint64>(plan.mac.last));
    query.bindValue(QStringLiteral(":ip"),
                    plan.ipIsRange ? QVariant(ipLast) : QVariant(QMetaType(QMetaType::LongLong)));
    if (!sql_.exec(query, error)) {
        sql_.rollback();
        return false;
    }
    return sql_.commit(error) && syncEveryCommit(false, error);
}

bool Ledger::syncEveryCommit(bool on, QString *error)
{
    return sql_.exec(on ? QStringLiteral("PRAGMA synchronous=FULL")
                        : QStringLiteral("PRAGMA synchronous=NORMAL"),
                     error);
}

Ledger::AllocateResult Ledger::allocate(const QString &port, quint32 previousSerial,
                                        const MacAddress &previousMac)
{
    return allocate(QList<AllocationRequest>{{port, previousSerial, previousMac}}).first();
}

QList<Ledger::AllocateResult> Ledger::allocate(const QList<AllocationRequest> &requests)
{
    QList<AllocateResult> results(requests.size());
    const auto failAll = [&results](const QString &error) {
        for (AllocateResult &result : results) {
            result = {Outcome::failed, {}, error};
        }
        return results;
    };
    QString error;
    // Only an allocation waits for the disk: once its number may reach a device, not even a
    // power cut may hand it out again. A state change after it is written without a sync and
    // made durable by the next allocation's; lost, it leaves a row "allocated", never a number
    // free.
    if (!plan_ || !syncEveryCommit(true, &error)) {
        return failAll(error);
    }
    // Should this fail, commits stay synced: slower, never less safe.
    const auto unsynced = qScopeGuard([this] {
        QString ignored;
        syncEveryCommit(false, &ignored);
    });
    if (!sql_.beginImmediate(&error)) {
        return failAll(error);
    }
    // The ranges are read inside the transaction: another run may have raised them.
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral("SELECT serial_first, serial_last, mac_first, mac_last, "
                                 "ip_first, ip_last, allocated FROM ranges WHERE id = 1"));
    if (!sql_.exec(query, &error) || !query.next()) {
        sql_.rollback();
        return failAll(error);
    }
    const qint64 serialFirst = query.value(0).toLongLong();
    const qint64 serialLast = query.value(1).toLongLong();
    const qint64 macFirst = query.value(2).toLongLong();
    const qint64 macLast = query.value(3).toLongLong();
    const bool ipRange = !query.value(4).isNull();
    const qint64 ipFirst = ipRange ? query.value(4).toLongLong() : qint64(plan_->ip.first);
    const qint64 ipLast = query.value(5).toLongLong();
    qint64 k = query.value(6).toLongLong();
    query.finish();

    QString exhausted;
    query.prepare(QStringLiteral(
        "INSERT INTO devices (serial, mac, ip, port, previous_serial, previous_mac, time, state) "
        "VALUES (?, ?, ?, ?, ?, ?, ?, 'allocated')"));
    for (qsizetype i = 0; i < requests.size(); ++i) {
        const qint64 serial = serialFirst + k;
        const qint64 mac = macFirst + k;
        const qint64 ip = ipRange ? ipFirst + k : ipFirst;
        if (exhausted.isEmpty()) {
            if (serial > serialLast) {
                exhausted =
                    RangeText(QStringLiteral("the serial numbers"), serialFirst, serialLast);
            } else if (mac > macLast) {
                exhausted = RangeText(QStringLiteral("the MACs"), macFirst, macLast, MacNumberText);
            } else if (ipRange && ip > ipLast) {
                exhausted = RangeText(QStringLiteral("the IP addresses"), ipFirst, ipLast,
                                      AddressNumberText);
            }
            if (!exhausted.isEmpty()) {
                exhausted =
                    QStringLiteral("%1 of the ledger %2 are all used").arg(exhausted, sql_.path());
            }
        }
        if (!exhausted.isEmpty()) {
            results[i] = {Outcome::exhausted, {}, exhausted};
            continue;
        }
        const AllocationRequest &request = requests[i];
        query.addBindValue(serial);
        query.addBindValue(mac);
        query.addBindValue(ip);
        query.addBindValue(request.port);
        query.addBindValue(static_cast<qint64>(request.previousSerial));
        query.addBindValue(static_cast<qint64>(MacNumber(request.previousMac)));
        query.addBindValue(Now());
        if (!sql_.exec(query, &error)) {
            sql_.rollback();
            return failAll(error);
        }
        results[i] = {Outcome::allocated,
                      {query.lastInsertId().toLongLong(), static_cast<quint32>(serial),
                       MacFromNumber(static_cast<quint64>(mac)),
                       AddressFromNumber(static_cast<quint32>(ip))},
                      {}};
        ++k;
    }
    query.prepare(QStringLiteral("UPDATE ranges SET allocated = ? WHERE id = 1"));
    query.addBindValue(k);
    if (!sql_.exec(query, &error) || !sql_.commit(&error)) {
        sql_.rollback();
        return failAll(error);
    }
    return results;
}

bool Ledger::setState(qint64 id, State state, const QString &reason, QString *error)
{
    QSqlQuery query(sql_.db());
    query.prepare(
        QStringLiteral("UPDATE devices SET state = ?, reason = ?, time = ? WHERE id = ?"));
    query.addBindValue(stateName(state));
    // A null string would bind as NULL.
    query.addBindValue(reason.isNull() ? QStringLiteral("") : reason);
    query.addBindValue(Now());
    query.addBindValue(id);
    if (!sql_.exec(query, error)) {
        return false;
    }
    if (query.numRowsAffected() != 1) {
        *error = QStringLiteral("ledger %1 has no row %2").arg(sql_.path()).arg(id);
        return false;
    }
    return true;
}

bool Ledger::markWritten(qint64 id, QString *error)
{
    return setState(id, State::written, {}, error);
}

bool Ledger::markVerified(qint64 id, QString *error)
{
    return setState(id, State::verified, {}, error);
}

bool Ledger::markFailed(qint64 id, const QString &reason, QString *error)
{
    return setState(id, State::failed, reason, error);
}

std::optional<bool> Ledger::isProvisioned(quint32 serial, const MacAddress &mac, QString *error)
{
    return findPair(QStringLiteral(" AND state = 'verified'"), serial, mac, error);
}

std::optional<bool> Ledger::holds(quint32 serial, const MacAddress &mac, QString *error)
{
    return findPair(QString(), serial, mac, error);
}

std::optional<bool> Ledger::findPair(const QString &condition, quint32 serial,
                                     const MacAddress &mac, QString *error)
{
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral("SELECT 1 FROM devices WHERE serial = ? AND mac = ?") + condition);
    query.addBindValue(static_cast<qint64>(serial));
    query.addBindValue(static_cast<qint64>(MacNumber(mac)));
    if (!sql_.exec(query, error)) {
        return std::nullopt;
    }
    return query.next();
}

std::optional<QList<Ledger::Row>> Ledger::rows(QString *error)
{
    QSqlQuery query(sql_.db());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, serial, mac, ip, port, previous_serial, "
                                 "previous_mac, time, state, reason FROM devices ORDER BY id"));
    if (!sql_.exec(query, error)) {
        return std::nullopt;
    }
    QList<Row> rows;
    while (query.next()) {
        Row row;
        row.id = query.value(0).toLongLong();
        row.serial = static_cast<quint32>(query.value(1).toLongLong());
        row.mac = MacFromNumber(static_cast<quint64>(query.value(2).toLongLong()));
        row.ip = AddressFromNumber(static_cast<quint32>(query.value(3).toLongLong()));
        row.port = query.value(4).toString();
        row.previousSerial = static_cast<quint32>(query.value(5).toLongLong());
        row.previousMac = MacFromNumber(static_cast<quint64>(query.value(6).toLongLong()));
        row.time = query.value(7).toString();
        const QString state = query.value(8).toString();
        for (State s : {State::allocated, State::written, State::verified, State::failed}) {
            if (stateName(s) == state) {
                row.state = s;
            }
        }
        row.reason = query.value(9).toString();
        rows << row;
    }
    return rows;
}

QString Ledger::stateName(State state)
{
    switch (state) {
    case State::allocated:
        return QStringLiteral("allocated");
    case State::written:
        return QStringLiteral("written");
    case State::verified:
        return QStringLiteral("verified");
    case State::failed:
        return QStringLiteral("failed");
    }
    return {};
}

} // namespace quillon
