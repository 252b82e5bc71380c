#pragma once

#include "ledger/ledgerlocation.h"

#include <QSqlDatabase>
#include <QString>

class QSqlQuery;

namespace quillon {

// One database connection of the ledger's own: SQLite or PostgreSQL. Its name is unique, so
// that several ledgers, in one thread or several, never share a connection. An SQLite
// connection waits for another process's write up to the busy timeout.
class LedgerConnection
{
public:
    static constexpr int kWalRetryMs = 5;
    // How long a PostgreSQL connection attempt may take before the server counts as unreachable.
    static constexpr int kConnectTimeoutS = 5;

    // Failures leave isOpen() false with the reason in `error`.
    LedgerConnection(const LedgerLocation &location, bool readOnly, QString *error);
    ~LedgerConnection();
    LedgerConnection(const LedgerConnection &) = delete;
    LedgerConnection &operator=(const LedgerConnection &) = delete;

    bool isOpen() const { return db_.isOpen(); }
    bool isPostgres() const { return location_.kind == LedgerLocation::Kind::Postgresql; }
    const QSqlDatabase &db() const { return db_; }
    const LedgerLocation &location() const { return location_; }
    // The location for messages.
    const QString &name() const { return name_; }

    // Each returns false with "ledger NAME: <database's reason>" in `error`.
    bool exec(QSqlQuery &query, QString *error);
    bool exec(const QString &sql, QString *error);
    // The write-ahead log, so that readers never wait for the writer.
    bool enableWal(QString *error);
    // A transaction that may write, holding SQLite's write lock from its start.
    bool beginWrite(QString *error);
    // A PostgreSQL connection that the server dropped (it restarted, the network failed) is
    // made again; false with "ledger unreachable: ..." while the server cannot be reached.
    bool ensureConnected(QString *error);
    bool commit(QString *error);
    void rollback();

private:
    QString failure(const QSqlQuery &query) const;
    bool open(QString *error);

    LedgerLocation location_;
    QString connection_;
    QSqlDatabase db_;
    QString name_;
};

} // namespace quillon
