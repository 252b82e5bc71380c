#include "ledger/ledger.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlQuery>
#include <QSysInfo>
#include <QVariant>

#include <pwd.h>
#include <unistd.h>

namespace quillon {

namespace {

QString Now()
{
    return QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
}

// The operating user by the process's own account, not by an environment a script may set.
QString OperatingUser()
{
    const passwd *account = ::getpwuid(::geteuid());
    return account ? QString::fromLocal8Bit(account->pw_name) : QString::number(::geteuid());
}

} // namespace

std::unique_ptr<Ledger> Ledger::create(const LedgerLocation &location, const ProvisionPlan &plan,
                                       QString *error)
{
    const bool file = location.kind == LedgerLocation::Kind::File;
    if (file && !LedgerFile::mayCreate(location.path, location.fileSystem, error)) {
        return nullptr;
    }
    LedgerLocation building = location;
    building.path = file ? LedgerFile::buildingName(location.path) : QString();
    const auto cleanUp = qScopeGuard([&] {
        if (file) {
            QFile::remove(building.path);
        }
    });
    {
        std::unique_ptr<Ledger> ledger(new Ledger(building, false, error));
        LedgerConnection &sql = ledger->sql_;
        if (!sql.isOpen()) {
            return nullptr;
        }
        if (!file && ledger->schema_.check(error)) {
            *error = QStringLiteral("%1 holds a ledger already").arg(sql.name());
            return nullptr;
        }
        if ((file && !sql.enableWal(error)) || !sql.beginWrite(error)) {
            return nullptr;
        }
        if (!ledger->schema_.create(plan, error) || (file && !ledger->checkHome(true, error)) ||
            !sql.commit(error)) {
            sql.rollback();
            if (!file) {
                *error = QStringLiteral("%1 cannot take a new ledger (%2); give an empty "
                                        "database")
                             .arg(sql.name(), *error);
            }
            return nullptr;
        }
    }
    if (file && !LedgerFile::putInPlace(building.path, location.path, error)) {
        return nullptr;
    }
    return openForPlan(location, plan, error);
}

std::unique_ptr<Ledger> Ledger::openForRun(const LedgerLocation &location,
                                           const ProvisionPlan &plan, QString *error)
{
    bool missing = false;
    std::unique_ptr<Ledger> ledger = openForPlan(location, plan, error, &missing);
    if (missing) {
        *error = QStringLiteral("%1; make it first with quillonctl ledger init --plan PLAN.json "
                                "--ledger %2")
                     .arg(*error, location.name());
    }
    return ledger;
}

std::unique_ptr<Ledger> Ledger::open(const LedgerLocation &location, Access access, QString *error,
                                     bool *missing)
{
    const bool forWriting = access != Access::Reading;
    bool readOnly = false;
    if (location.kind == LedgerLocation::Kind::File) {
        const LedgerFile::Check check =
            LedgerFile::identify(location.path, location.fileSystem, error);
        if (missing) {
            *missing = check == LedgerFile::Check::Missing;
        }
        if (check != LedgerFile::Check::Ok) {
            return nullptr;
        }
        // A listing of a ledger this user may write opens it as a writer would, so that SQLite
        // removes its -wal and -shm files on close rather than leave them read-only.
        readOnly = !forWriting && !QFileInfo(location.path).isWritable();
    }
    std::unique_ptr<Ledger> ledger(new Ledger(location, readOnly, error));
    LedgerConnection &sql = ledger->sql_;
    if (!sql.isOpen()) {
        return nullptr;
    }
    if (!ledger->schema_.check(error)) {
        return nullptr;
    }
    if (!forWriting) {
        return ledger;
    }
    // WAL: a commit costs one append and sync, and readers never wait for the writer. Opening
    // only reads unless the ledger needs new columns, so that it never waits for another
    // station's lock.
    if ((!sql.isPostgres() &&
         (!ledger->checkHome(access == Access::Adopting, error) || !sql.enableWal(error))) ||
        !ledger->schema_.migrate(error) || !ledger->schema_.checkRanges(error)) {
        return nullptr;
    }
    ledger->station_ = QSysInfo::machineHostName();
    ledger->user_ = OperatingUser();
    return ledger;
}

std::unique_ptr<Ledger> Ledger::openForPlan(const LedgerLocation &location,
                                            const ProvisionPlan &plan, QString *error,
                                            bool *missing)
{
    std::unique_ptr<Ledger> ledger = open(location, Access::Writing, error, missing);
    if (!ledger) {
        return nullptr;
    }
    if (!ledger->schema_.adopt(plan, error)) {
        return nullptr;
    }
    if (!ledger->syncEveryCommit(false, error)) {
        return nullptr;
    }
    ledger->plan_ = plan;
    return ledger;
}

std::unique_ptr<Ledger> Ledger::openExisting(const LedgerLocation &location, QString *error)
{
    return open(location, Access::Reading, error, nullptr);
}

bool Ledger::syncEveryCommit(bool on, QString *error)
{
    // PostgreSQL's connection commits synchronously throughout.
    if (sql_.isPostgres()) {
        return true;
    }
    return sql_.exec(on ? QStringLiteral("PRAGMA synchronous=FULL")
                        : QStringLiteral("PRAGMA synchronous=NORMAL"),
                     error);
}

QList<Ledger::AllocateResult> Ledger::allocate(const QList<AllocationRequest> &requests)
{
    QList<AllocateResult> results(requests.size());
    const auto failAll = [&results](const QString &error) {
        for (AllocateResult &result : results) {
            result = {Outcome::Failed, {}, error};
        }
        return results;
    };
    QString error;
    // An allocation waits for the disk: once its number may reach a device, not even a power
    // cut may hand it out again. Of the later states only "verified" waits too; lost, the
    // others leave a row "allocated", never a number free.
    if (!plan_ || !syncEveryCommit(true, &error)) {
        return failAll(error);
    }
    // Should this fail, commits stay synced: slower, never less safe.
    const auto unsynced = qScopeGuard([this] {
        QString ignored;
        syncEveryCommit(false, &ignored);
    });
    if (!sql_.beginWrite(&error)) {
        return failAll(error);
    }
    // The ranges are read inside the transaction, locked until its end on PostgreSQL (SQLite's
    // write lock covers the whole file): another run may have raised or counted them.
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral("SELECT serial_first, serial_last, mac_first, mac_last, "
                                 "ip_first, ip_last, allocated FROM ranges WHERE id = 1") +
                  (sql_.isPostgres() ? QStringLiteral(" FOR UPDATE") : QString()));
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
    const QString now = Now();
    query.prepare(QStringLiteral(
        "INSERT INTO devices (serial, mac, ip, port, previous_serial, previous_mac, time, state, "
        "station, operator, allocated_at) VALUES (?, ?, ?, ?, ?, ?, ?, 'allocated', ?, ?, ?) "
        "RETURNING id"));
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
                    QStringLiteral("%1 of the ledger %2 are all used").arg(exhausted, sql_.name());
            }
        }
        if (!exhausted.isEmpty()) {
            results[i] = {Outcome::Exhausted, {}, exhausted};
            continue;
        }
        const AllocationRequest &request = requests[i];
        for (const QVariant &value :
             {QVariant(serial), QVariant(mac), QVariant(ip), QVariant(request.port),
              QVariant(qint64(request.previousSerial)),
              QVariant(qint64(MacNumber(request.previousMac))), QVariant(now), QVariant(station_),
              QVariant(user_), QVariant(now)}) {
            query.addBindValue(value);
        }
        if (!sql_.exec(query, &error) || !query.next()) {
            sql_.rollback();
            return failAll(error);
        }
        results[i] = {Outcome::Allocated,
                      {query.value(0).toLongLong(), static_cast<quint32>(serial),
                       MacFromNumber(static_cast<quint64>(mac)),
                       AddressFromNumber(static_cast<quint32>(ip))},
                      {}};
        query.finish();
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
    if (!sql_.ensureConnected(error)) {
        return false;
    }
    // The time of the write or the verification is kept beside that of the last change.
    const QString stamp = state == State::Written    ? QStringLiteral(", written_at = ?")
                          : state == State::Verified ? QStringLiteral(", verified_at = ?")
                                                     : QString();
    QSqlQuery query(sql_.db());
    query.prepare(
        QStringLiteral("UPDATE devices SET state = ?, reason = ?, time = ?%1 WHERE id = ?")
            .arg(schema_.hasRecordColumns() ? stamp : QString()));
    const QString now = Now();
    query.addBindValue(stateName(state));
    // A null string would bind as NULL.
    query.addBindValue(reason.isNull() ? QStringLiteral("") : reason);
    query.addBindValue(now);
    if (schema_.hasRecordColumns() && !stamp.isEmpty()) {
        query.addBindValue(now);
    }
    query.addBindValue(id);
    if (!sql_.exec(query, error)) {
        return false;
    }
    if (query.numRowsAffected() != 1) {
        *error = QStringLiteral("ledger %1 has no row %2").arg(sql_.name()).arg(id);
        return false;
    }
    return true;
}

bool Ledger::markWritten(qint64 id, QString *error)
{
    return setState(id, State::Written, {}, error);
}

bool Ledger::markVerified(qint64 id, QString *error)
{
    // On the disk before the device is reported verified, so that a label printed from the
    // report still holds after a power cut.
    if (!syncEveryCommit(true, error)) {
        return false;
    }
    const bool recorded = setState(id, State::Verified, {}, error);
    QString ignored;
    syncEveryCommit(false, &ignored);
    return recorded;
}

bool Ledger::markFailed(qint64 id, const QString &reason, QString *error)
{
    return setState(id, State::Failed, reason, error);
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
    if (!sql_.ensureConnected(error)) {
        return std::nullopt;
    }
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral("SELECT 1 FROM devices WHERE serial = ? AND mac = ?") + condition);
    query.addBindValue(static_cast<qint64>(serial));
    query.addBindValue(static_cast<qint64>(MacNumber(mac)));
    if (!sql_.exec(query, error)) {
        return std::nullopt;
    }
    return query.next();
}

std::optional<Ledger::Remaining> Ledger::remaining(QString *error)
{
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral("SELECT serial_last - serial_first + 1 - allocated, "
                                 "mac_last - mac_first + 1 - allocated, "
                                 "ip_last - ip_first + 1 - allocated FROM ranges WHERE id = 1"));
    if (!sql_.exec(query, error)) {
        return std::nullopt;
    }
    if (!query.next()) {
        *error = QStringLiteral("ledger %1 holds no ranges").arg(sql_.name());
        return std::nullopt;
    }
    // A range that ran out counts as none left, never below.
    const auto left = [&query](int column) {
        return std::max<qint64>(0, query.value(column).toLongLong());
    };
    Remaining result{left(0), left(1), std::nullopt};
    if (!query.value(2).isNull()) {
        result.ips = left(2);
    }
    return result;
}

std::optional<QList<Ledger::Row>> Ledger::rows(QString *error)
{
    if (!sql_.ensureConnected(error)) {
        return std::nullopt;
    }
    QSqlQuery query(sql_.db());
    query.setForwardOnly(true);
    // A ledger older than the record columns is listed as it is, without migrating it.
    const QString record = schema_.hasRecordColumns()
                               ? QStringLiteral("station, operator, allocated_at, written_at, "
                                                "verified_at")
                               : QStringLiteral("'', '', '', '', ''");
    query.prepare(QStringLiteral("SELECT id, serial, mac, ip, port, previous_serial, "
                                 "previous_mac, time, state, reason, %1 FROM devices ORDER BY id")
                      .arg(record));
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
        for (State s : {State::Allocated, State::Written, State::Verified, State::Failed}) {
            if (stateName(s) == state) {
                row.state = s;
            }
        }
        row.reason = query.value(9).toString();
        row.station = query.value(10).toString();
        row.user = query.value(11).toString();
        row.allocatedAt = query.value(12).toString();
        row.writtenAt = query.value(13).toString();
        row.verifiedAt = query.value(14).toString();
        rows << row;
    }
    return rows;
}

bool Ledger::backup(const QString &destination, QString *error)
{
    if (sql_.isPostgres()) {
        *error = QStringLiteral("a PostgreSQL ledger is backed up by the database's own tools: "
                                "pg_dump --format=custom --file=%1 %2")
                     .arg(destination, sql_.name());
        return false;
    }
    if (QFileInfo::exists(destination) || QFileInfo(destination).isSymLink()) {
        *error =
            QStringLiteral("%1 already exists; a backup never replaces a file").arg(destination);
        return false;
    }
    // One read transaction sees every committed allocation, the log's as well as the main
    // file's, and the copy is a complete ledger in a single file.
    QSqlQuery query(sql_.db());
    query.prepare(QStringLiteral("VACUUM INTO ?"));
    query.addBindValue(destination);
    return sql_.exec(query, error);
}

bool Ledger::adopt(const LedgerLocation &location, QString *error)
{
    if (location.kind != LedgerLocation::Kind::File) {
        *error = QStringLiteral("%1 is a PostgreSQL ledger, never a copy").arg(location.name());
        return false;
    }
    return open(location, Access::Adopting, error, nullptr) != nullptr;
}

bool Ledger::checkHome(bool adopting, QString *error)
{
    const QString path = sql_.location().path;
    const std::optional<qint32> mark = LedgerFile::homeMark(path, error);
    QSqlQuery recorded(sql_.db());
    recorded.prepare(QStringLiteral("PRAGMA user_version"));
    if (!mark || !sql_.exec(recorded, error) || !recorded.next()) {
        return false;
    }
    const qint32 home = recorded.value(0).toInt();
    if (home == *mark) {
        return true;
    }
    // A ledger made before files recorded their home has none yet: this file is taken for it.
    if (home != 0 && !adopting) {
        *error = QStringLiteral("%1 is a copy of a ledger, not the ledger itself: the ledger it "
                                "was copied from would hand out its numbers again. Provision "
                                "from that ledger; if it is gone for good, make this copy the "
                                "ledger with quillonctl ledger adopt --ledger %1")
                     .arg(path);
        return false;
    }
    return sql_.exec(QStringLiteral("PRAGMA user_version=%1").arg(*mark), error);
}

QString Ledger::stateName(State state)
{
    switch (state) {
    case State::Allocated:
        return QStringLiteral("allocated");
    case State::Written:
        return QStringLiteral("written");
    case State::Verified:
        return QStringLiteral("verified");
    case State::Failed:
        return QStringLiteral("failed");
    }
    return {};
}

} // namespace quillon
