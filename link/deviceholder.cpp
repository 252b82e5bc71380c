#include "link/deviceholder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#endif

namespace quillon {

QString RealDevicePath(const QString &path)
{
    const QString real = QFileInfo(path).canonicalFilePath();
    return real.isEmpty() ? path : real;
}

bool LockDeviceExclusively(int fd)
{
#ifdef Q_OS_UNIX
    int result = 0;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    // A file system without advisory locks cannot tell of another user either.
    return result == 0 || errno != EWOULDBLOCK;
#else
    Q_UNUSED(fd);
    return true;
#endif
}

QString ProcessName(qint64 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (pid <= 0 || !comm.open(QIODevice::ReadOnly)) {
        return {};
    }
    const QString name = QString::fromUtf8(comm.readLine(64).trimmed());
    return name.isEmpty() ? QString() : QStringLiteral("%1 (process %2)").arg(name).arg(pid);
}

namespace {

// The process that holds an advisory lock on the device, from the kernel's table of locks:
// "1: FLOCK  ADVISORY  WRITE 4242 00:19:3 0 EOF", the file as major:minor:inode.
qint64 FlockHolder(const QString &devicePath)
{
#ifdef Q_OS_UNIX
    struct stat info = {};
    QFile locks(QStringLiteral("/proc/locks"));
    if (::stat(QFile::encodeName(devicePath).constData(), &info) != 0 ||
        !locks.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QString file = QStringLiteral("%1:%2:%3")
                             .arg(major(info.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(minor(info.st_dev), 2, 16, QLatin1Char('0'))
                             .arg(info.st_ino);
    // The table reports no size, so it is read whole rather than line by line to an end.
    const QList<QByteArray> lines = locks.readAll().split('\n');
    for (const QByteArray &line : lines) {
        const QList<QByteArray> fields = line.simplified().split(' ');
        if (fields.size() > 5 && fields[1] == "FLOCK" && QString::fromLatin1(fields[5]) == file) {
            return fields[4].toLongLong();
        }
    }
#else
    Q_UNUSED(devicePath);
#endif
    return 0;
}

} // namespace

QString DeviceHolder(const QString &devicePath)
{
    if (const qint64 pid = FlockHolder(devicePath); pid > 0) {
        return ProcessName(pid);
    }
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList processes = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : processes) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok || pid == self) {
            continue;
        }
        // Another user's descriptors stay hidden unless this process runs as root.
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(pid));
        const QStringList descriptors = fds.entryList(QDir::System | QDir::NoDotAndDotDot);
        for (const QString &fd : descriptors) {
            if (QFileInfo(fds.filePath(fd)).symLinkTarget() == devicePath) {
                return ProcessName(pid);
            }
        }
    }
    return {};
}

} // namespace quillon
