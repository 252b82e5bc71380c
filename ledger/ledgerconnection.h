#pragma once

#include <QSqlDatabase>
#include <QString>

class QSqlQuery;

namespace quillon {

// One SQLite connection of the ledger's own. Its name is unique, so that several ledgers, in
// one thread or several, never share a connection; it waits for another process's write up to
// the busy timeout.
class LedgerConnection
{
public:
    // How long a statement waits for another process's transaction before it gives up.
    static constexpr int kBusyTimeoutMs = 5000;
    static constexpr int kWalRetryMs = 5;

    // Failures leave isOpen() false with the reason in `error`.
    LedgerConnection(const QString &path, bool readOnly, QString *error);
    ~LedgerConnection();
    LedgerConnection(const LedgerConnection &) = delete;
    LedgerConnection &operator=(const LedgerConnection &) = delete;

    bool isOpen() const { return db_.isOpen(); }
    const QSqlDatabase &db() const { return db_; }
    const QString &path() const { return path_; }

    // Each returns false with "ledger PATH: <database's reason>" in `error`.
    bool exec(QSqlQuery &query, QString *error);
    bool exec(const QString &sql, QString *error);
    // The write-ahead log, so that readers never wait for the writer.
    bool enableWal(QString *error);
    bool beginImmediate(QString *error);
    bool commit(QString *error);
    void rollback();

private:
    QString connection_;
    QSqlDatabase db_;
    QString path_;
};

} // namespace quillon
