#include "ledger/ledgerconnection.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

namespace quillon {

namespace {

constexpr int kBeginAttempts = 3;
const QString kSqliteBusy = QStringLiteral("5");
const QString kSqliteLocked = QStringLiteral("6");

bool IsBusy(const QSqlError &error)
{
    return error.nativeErrorCode() == kSqliteBusy || error.nativeErrorCode() == kSqliteLocked;
}

} // namespace

LedgerConnection::LedgerConnection(const LedgerLocation &location, bool readOnly, QString *error)
    : location_(location),
      connection_(QStringLiteral("quillon-ledger-") + QUuid::createUuid().toString(QUuid::Id128)),
      name_(location.name())
{
    const bool postgres = isPostgres();
    db_ = QSqlDatabase::addDatabase(postgres ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE"),
                                    connection_);
    if (!db_.isValid()) {
        *error = QStringLiteral("cannot open the ledger %1: Qt SQL has no %2 driver (install %3)")
                     .arg(name_, postgres ? QStringLiteral("PostgreSQL") : QStringLiteral("SQLite"),
                          postgres ? QStringLiteral("libqt6sql6-psql")
                                   : QStringLiteral("libqt6sql6-sqlite"));
        return;
    }
    if (postgres) {
        db_.setHostName(location.host);
        db_.setPort(location.port);
        db_.setUserName(location.user);
        db_.setPassword(location.password);
        db_.setDatabaseName(location.database);
        db_.setConnectOptions(QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutS));
    } else {
        db_.setDatabaseName(location.path);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(location.busyTimeoutMs);
        if (readOnly) {
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        }
        db_.setConnectOptions(options);
    }
    open(error);
}

bool LedgerConnection::open(QString *error)
{
    if (!db_.open()) {
        *error = isPostgres() ? QStringLiteral("ledger unreachable: %1: %2")
                                    .arg(name_, db_.lastError().databaseText().simplified())
                              : QStringLiteral("cannot open the ledger %1: %2")
                                    .arg(name_, db_.lastError().databaseText());
        return false;
    }
    // Every commit returns once the server has it on its disk, whatever the server's default:
    // a number must be durable before its write frame leaves.
    if (isPostgres() && !exec(QStringLiteral("SET synchronous_commit = on"), error)) {
        db_.close();
        return false;
    }
    return true;
}

bool LedgerConnection::ensureConnected(QString *error)
{
    if (!isPostgres() || (db_.isOpen() && QSqlQuery(db_).exec(QStringLiteral("SELECT 1")))) {
        return true;
    }
    db_.close();
    return open(error);
}

LedgerConnection::~LedgerConnection()
{
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

QString LedgerConnection::failure(const QSqlQuery &query) const
{
    return QStringLiteral("ledger %1: %2")
        .arg(name_, query.lastError().databaseText().simplified());
}

bool LedgerConnection::exec(QSqlQuery &query, QString *error)
{
    if (query.exec()) {
        return true;
    }
    *error = failure(query);
    return false;
}

bool LedgerConnection::exec(const QString &sql, QString *error)
{
    QSqlQuery query(db_);
    if (query.exec(sql)) {
        return true;
    }
    *error = failure(query);
    return false;
}

bool LedgerConnection::beginWrite(QString *error)
{
    if (isPostgres()) {
        if (!ensureConnected(error)) {
            return false;
        }
        QSqlQuery begin(db_);
        if (begin.exec(QStringLiteral("BEGIN"))) {
            return true;
        }
        *error = failure(begin);
        return false;
    }
    // Qt's driver begins deferred transactions, whose later upgrade to a writer can fail at
    // once without waiting; BEGIN IMMEDIATE takes the write lock first, waiting for another
    // process's commit up to the busy timeout.
    for (int attempt = 1;; ++attempt) {
        QSqlQuery begin(db_);
        if (begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            return true;
        }
        if (attempt == kBeginAttempts || !IsBusy(begin.lastError())) {
            *error = failure(begin);
            return false;
        }
    }
}

bool LedgerConnection::enableWal(QString *error)
{
    // Switching a new file to WAL needs it to itself and does not wait for the busy timeout: a
    // second process opening the same new ledger at that moment retries instead of failing.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        QSqlQuery mode(db_);
        if (mode.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && mode.next() &&
            mode.value(0).toString() == QLatin1String("wal")) {
            return true;
        }
        if (!IsBusy(mode.lastError()) || waited.elapsed() >= location_.busyTimeoutMs) {
            *error = QStringLiteral("cannot open the ledger %1 for writing: %2")
                         .arg(name_, mode.lastError().isValid() ? mode.lastError().databaseText()
                                                                : QStringLiteral("no WAL journal"));
            return false;
        }
        QThread::msleep(kWalRetryMs);
    }
}

void LedgerConnection::rollback()
{
    QSqlQuery(db_).exec(QStringLiteral("ROLLBACK"));
}

bool LedgerConnection::commit(QString *error)
{
    if (exec(QStringLiteral("COMMIT"), error)) {
        return true;
    }
    rollback();
    return false;
}

} // namespace quillon
