#pragma once

#include "ledger/ledgerfile.h"

#include <QString>

#include <optional>

namespace quillon {

// Where a ledger lives: an SQLite file for one station, or a PostgreSQL database that every
// station of a line shares. It is always named on purpose, by --ledger or QUILLON_LEDGER, so
// that two folders or a typo can never start a second numbering.
class LedgerLocation
{
public:
    enum class Kind { File, Postgresql };

    static constexpr int kDefaultPostgresPort = 5432;
    // How long an SQLite statement waits for another process's transaction before it gives up.
    // Ledger work runs off the exchanges' thread, so a long wait delays only the ports that
    // need an answer from the ledger.
    static constexpr int kBusyTimeoutMs = 20000;
    inline static const QString kEnvironment = QStringLiteral("QUILLON_LEDGER");

    Kind kind = Kind::File;
    QString path; // the file
    // The database: a host name, or the folder of a Unix socket.
    QString host;
    int port = kDefaultPostgresPort;
    QString user;
    QString password;
    QString database;
    // How a file's file system is told; tests hand in a network one.
    LedgerFile::FileSystemProbe fileSystem;
    int busyTimeoutMs = kBusyTimeoutMs;

    // A file path, or postgresql://[user[:password]@]host[:port]/database with ?host=/socket/dir
    // for a Unix socket.
    static std::optional<LedgerLocation> parse(const QString &text, QString *error);
    // --ledger when given, else QUILLON_LEDGER; nothing, with the reason, when neither names one.
    static std::optional<LedgerLocation> resolve(const std::optional<QString> &option,
                                                 QString *error);

    // For messages: the path, or the URL as given without its password.
    const QString &name() const { return name_; }

private:
    QString name_;
};

} // namespace quillon
