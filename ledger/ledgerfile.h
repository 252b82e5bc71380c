#pragma once

#include <QString>

#include <functional>
#include <optional>

namespace quillon {

// The checks an SQLite ledger file passes before SQLite opens it, made with plain reads so that
// a file that is refused is left exactly as it was: no journal switched, no -wal or -shm made.
class LedgerFile
{
public:
    // Marks the file as a ledger, so that another program's database is never taken for one.
    static constexpr quint32 kApplicationId = 0x514C4447; // "QLDG"

    // The statfs() magic number of the file system that holds a folder; tests hand in their own.
    using FileSystemProbe = std::function<qint64(const QString &folder)>;
    static qint64 StatfsMagic(const QString &folder);

    enum class Check { Ok, Missing, Refused };

    // Whether `path` is a ledger this station may open for writing: a Quillon ledger by its
    // header, one name of its file only (SQLite keys its write-ahead log by name), on a local
    // file system, with no -wal or -shm file left that this process cannot write.
    static Check identify(const QString &path, const FileSystemProbe &probe, QString *error);
    // Whether a new ledger or backup may be made at `path`: nothing there yet, on a local file
    // system.
    static bool mayCreate(const QString &path, const FileSystemProbe &probe, QString *error);
    // A new ledger is built under a name of its own and put in place complete, so that no other
    // process ever sees half a ledger, and of two inits at once only one succeeds.
    static QString buildingName(const QString &path);
    // What tells the file apart from a copy of it: its inode number, which a copy, a restored
    // file or one moved to another disk does not keep, cut to the 31 bits the SQLite header's
    // user_version holds; never 0, which means none recorded. nullopt when it cannot be read.
    static std::optional<qint32> homeMark(const QString &path, QString *error);
    static bool putInPlace(const QString &building, const QString &path, QString *error);

private:
    static bool isLocal(const QString &path, const FileSystemProbe &probe, QString *error);
};

} // namespace quillon
