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

} // namespace

LedgerConnection::LedgerConnection(const QString &path, bool readOnly, QString *error)
    : connection_(QStringLiteral("quillon-ledger-") + QUuid::createUuid().toString(QUuid::Id128)),
      path_(path)
{
    db_ = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    if (!db_.isValid()) {
        *error = QStringLiteral("cannot open the ledger %1: Qt SQL has no SQLite driver "
                                "(install libqt6sql6-sqlite)")
                     .arg(path);
        return;
    }
    db_.setDatabaseName(path);
    QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs);
    if (readOnly) {
        options += QStringLiteral(";QSQLITE_OPEN_READONLY");
    }
    db_.setConnectOptions(options);
    if (!db_.open()) {
        *error = QStringLiteral("cannot open the ledger %1: %2")
                     .arg(path, db_.lastError().databaseText());
    }
}

LedgerConnection::~LedgerConnection()
{
    db_.close();
    db_ = QSqlDatabase();
    QSqlDatabase::removeDatabase(connection_);
}

bool LedgerConnection::exec(QSqlQuery &query, QString *error)
{
    if (query.exec()) {
        return true;
    }
    *error = QStringLiteral("ledger %1: %2").arg(path_, query.lastError().databaseText());
    return false;
}

bool LedgerConnection::exec(const QString &sql, QString *error)
{
    QSqlQuery query(db_);
    if (query.exec(sql)) {
        return true;
    }
    *error = QStringLiteral("ledger %1: %2").arg(path_, query.lastError().databaseText());
    return false;
}

bool LedgerConnection::beginImmediate(QString *error)
{
    // Qt's driver begins deferred transactions, whose later upgrade to a writer can fail at
    // once without waiting; BEGIN IMMEDIATE takes the write lock first, waiting for another
    // process's commit up to the busy timeout.
    for (int attempt = 1;; ++attempt) {
        QSqlQuery begin(db_);
        if (begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            return true;
        }
        const QString code = begin.lastError().nativeErrorCode();
        if (attempt == kBeginAttempts || (code != kSqliteBusy && code != kSqliteLocked)) {
            *error = QStringLiteral("ledger %1: %2").arg(path_, begin.lastError().databaseText());
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
        const QString code = mode.lastError().nativeErrorCode();
        const bool busy = code == kSqliteBusy || code == kSqliteLocked;
        if (!busy || waited.elapsed() >= kBusyTimeoutMs) {
            *error = QStringLiteral("cannot open the ledger %1 for writing: %2")
                         .arg(path_, mode.lastError().isValid() ? mode.lastError().databaseText()
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
