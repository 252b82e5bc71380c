#include "ledger/ledgerfile.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <sys/stat.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace quillon {

namespace {

constexpr char kSqliteMagic[] = "SQLite format 3";
constexpr int kHeaderSize = 100;
constexpr int kApplicationIdOffset = 68;

// File systems whose locking SQLite's write-ahead log cannot trust: the log's shared memory
// only works among processes of one host, and their byte-range locks are advisory at best.
struct NetworkFileSystem
{
    qint64 magic;
    const char *name;
};
constexpr std::array<NetworkFileSystem, 11> kNetworkFileSystems{{
    {0x6969, "NFS"},
    {0x517B, "SMB"},
    {0xFF534D42, "CIFS"},
    {0xFE534D42, "SMB2"},
    {0x01021997, "9p"},
    {0x65735546, "FUSE (sshfs and the like)"},
    {0x73757245, "Coda"},
    {0x5346414F, "AFS"},
    {0x00C36400, "Ceph"},
    {0x01161970, "GFS2"},
    {0x0BD00BD0, "Lustre"},
}};

const QString kPostgresAdvice =
    QStringLiteral("; for a ledger shared by several stations use a PostgreSQL ledger "
                   "(--ledger postgresql://host/database)");

} // namespace

qint64 LedgerFile::StatfsMagic(const QString &folder)
{
    struct statfs info
    {
    };
    if (::statfs(QFile::encodeName(folder).constData(), &info) != 0) {
        return 0;
    }
    return static_cast<qint64>(static_cast<quint32>(info.f_type));
}

bool LedgerFile::isLocal(const QString &path, const FileSystemProbe &probe, QString *error)
{
    const QString folder = QFileInfo(path).absolutePath();
    const qint64 magic = probe ? probe(folder) : StatfsMagic(folder);
    for (const NetworkFileSystem &fs : kNetworkFileSystems) {
        if (fs.magic == magic) {
            *error = QStringLiteral("the ledger %1 is on a network file system (%2), where two "
                                    "stations can hand out one number twice%3")
                         .arg(path, QString::fromLatin1(fs.name), kPostgresAdvice);
            return false;
        }
    }
    return true;
}

LedgerFile::Check LedgerFile::identify(const QString &path, const FileSystemProbe &probe,
                                       QString *error)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        *error = QStringLiteral("there is no ledger %1").arg(path);
        return Check::Missing;
    }
    QFile file(path);
    if (!S_ISREG(info.st_mode) || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read the ledger %1: %2")
                     .arg(path, S_ISREG(info.st_mode) ? file.errorString()
                                                      : QStringLiteral("not a file"));
        return Check::Refused;
    }
    const QByteArray header = file.read(kHeaderSize);
    if (header.size() < kHeaderSize || !header.startsWith(QByteArray(kSqliteMagic) + '\0') ||
        qFromBigEndian<quint32>(header.constData() + kApplicationIdOffset) != kApplicationId) {
        *error = QStringLiteral("%1 is not a Quillon ledger").arg(path);
        return Check::Refused;
    }
    if (info.st_nlink > 1) {
        *error = QStringLiteral("the ledger %1 has %2 names (hard links); SQLite keeps a "
                                "separate log per name, so two names would hand out one number "
                                "twice: keep one name and remove the others")
                     .arg(path)
                     .arg(info.st_nlink);
        return Check::Refused;
    }
    if (!isLocal(path, probe, error)) {
        return Check::Refused;
    }
    for (const char *suffix : {"-wal", "-shm"}) {
        const QString companion = path + QLatin1String(suffix);
        if (QFileInfo::exists(companion) &&
            ::access(QFile::encodeName(companion).constData(), W_OK) != 0) {
            *error = QStringLiteral("%1 cannot be written: a run on the ledger while it was "
                                    "read-only left it behind. Once no quillonctl uses the "
                                    "ledger, make it writable or remove it")
                         .arg(companion);
            return Check::Refused;
        }
    }
    return Check::Ok;
}

bool LedgerFile::mayCreate(const QString &path, const FileSystemProbe &probe, QString *error)
{
    for (const QString &name : {path, path + QStringLiteral("-wal")}) {
        if (QFileInfo::exists(name) || QFileInfo(name).isSymLink()) {
            *error = QStringLiteral("%1 already exists; no ledger or backup is ever made over "
                                    "another file")
                         .arg(name);
            return false;
        }
    }
    return isLocal(path, probe, error);
}

std::optional<qint32> LedgerFile::homeMark(const QString &path, QString *error)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        *error = QStringLiteral("cannot read the ledger %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        return std::nullopt;
    }
    const auto mark = static_cast<qint32>(info.st_ino & 0x7FFFFFFF);
    return mark != 0 ? mark : 1;
}

QString LedgerFile::buildingName(const QString &path)
{
    const QString name = path + QStringLiteral(".init-%1").arg(::getpid());
    QFile::remove(name);
    return name;
}

bool LedgerFile::putInPlace(const QString &building, const QString &path, QString *error)
{
    // link() refuses an existing name, where rename() would replace it.
    const bool linked =
        ::link(QFile::encodeName(building).constData(), QFile::encodeName(path).constData()) == 0;
    if (!linked) {
        *error = QStringLiteral("cannot make the ledger %1: %2")
                     .arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    }
    QFile::remove(building);
    return linked;
}

} // namespace quillon
