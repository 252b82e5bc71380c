#include "link/portadvice.h"

#include "link/portmap.h"

#include <QDir>
#include <QFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <grp.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace quillon {

namespace {

// Where the serial layer keeps its lock files, in the order it looks.
const QStringList kLockDirectories{
    QStringLiteral("/var/lock"),
    QStringLiteral("/etc/locks"),
    QStringLiteral("/var/spool/locks"),
    QStringLiteral("/var/spool/uucp"),
    QStringLiteral("/tmp"),
    QStringLiteral("/var/tmp"),
    QStringLiteral("/var/lock/lockdev"),
    QStringLiteral("/run/lock"),
};

bool ProcessRuns(qint64 pid)
{
#ifdef Q_OS_UNIX
    // EPERM: it runs under another user.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH;
#else
    Q_UNUSED(pid);
    return true;
#endif
}

struct LockFile
{
    QString path;
    qint64 pid = 0; // 0 when there is none or it names no process
};

LockFile FindLockFile(const QString &systemLocation, const QStringList &lockDirectories)
{
    const QString name = LockFileName(systemLocation);
    for (const QString &directory : lockDirectories) {
        QFile lock(QDir(directory).filePath(name));
        if (!lock.open(QIODevice::ReadOnly)) {
            continue;
        }
        bool ok = false;
        const qint64 pid = lock.readLine(32).trimmed().toLongLong(&ok);
        return {lock.fileName(), ok ? pid : 0};
    }
    return {};
}

} // namespace

QString LockFileName(const QString &systemLocation)
{
    // The serial layer's name for the lock of /dev/ttyUSB0 is LCK..ttyUSB0, of /dev/pts/3
    // LCK..pts_3.
    QString name =
        systemLocation.startsWith(QLatin1String("/dev/")) ? systemLocation.mid(5) : systemLocation;
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return name.prepend(QLatin1String("LCK.."));
}

DeviceAccess AccessOf(const QString &path)
{
    DeviceAccess access;
#ifdef Q_OS_UNIX
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return access;
    }
    access.gid = info.st_gid;
    access.mode = info.st_mode & 07777;
    struct group entry = {};
    struct group *found = nullptr;
    char buffer[4096];
    if (::getgrgid_r(info.st_gid, &entry, buffer, sizeof buffer, &found) == 0 && found) {
        access.group = QString::fromLocal8Bit(found->gr_name);
    }
#else
    Q_UNUSED(path);
#endif
    return access;
}

QString PermissionAdvice(const QString &path, const DeviceAccess &access)
{
    // Membership of root's group would grant far more than this device.
    constexpr unsigned kGroupReadWrite = 060;
    const bool groupMayReadWrite = (access.mode & kGroupReadWrite) == kGroupReadWrite;
    if (groupMayReadWrite && access.gid != 0 && !access.group.isEmpty()) {
        return QStringLiteral("add your user to the %1 group").arg(access.group);
    }
    return QStringLiteral("an administrator must grant access to %1 (for example with a udev rule)")
        .arg(path);
}

QString OpenFailureText(const OpenFailure &failure, const QString &subject)
{
    switch (failure.kind) {
    case OpenFailure::Kind::DoesNotExist:
        return QStringLiteral("%1 does not exist").arg(subject);
    case OpenFailure::Kind::InUse:
        return QStringLiteral("%1 is in use by %2")
            .arg(subject,
                 failure.holder.isEmpty() ? QStringLiteral("another program") : failure.holder);
    case OpenFailure::Kind::NoPermission:
        return QStringLiteral("no permission to open %1; %2").arg(subject, failure.advice);
    case OpenFailure::Kind::StaleLock:
        return QStringLiteral("%1 is locked by %2, left by a program that has ended; its owner or "
                              "an administrator must remove that file")
            .arg(subject, failure.lockFile);
    case OpenFailure::Kind::None:
    case OpenFailure::Kind::Other:
        break;
    }
    return QStringLiteral("%1 cannot be opened: %2").arg(subject, failure.detail);
}

QString StaleLockFile(const QString &systemLocation)
{
    return StaleLockFile(systemLocation, kLockDirectories);
}

QString StaleLockFile(const QString &systemLocation, const QStringList &lockDirectories)
{
    const LockFile lock = FindLockFile(systemLocation, lockDirectories);
    return lock.pid > 0 && !ProcessRuns(lock.pid) ? lock.path : QString();
}

qint64 LockingProcess(const QString &systemLocation)
{
    const LockFile lock = FindLockFile(systemLocation, kLockDirectories);
    return lock.pid > 0 && ProcessRuns(lock.pid) ? lock.pid : 0;
}

QList<UnusablePort> UnusablePorts(const QList<PortProbe> &probes)
{
    QList<UnusablePort> ports;
    for (const PortProbe &probe : probes) {
        if (!probe.opens()) {
            ports.append({probe.host.systemLocation, probe.failure});
        }
    }
    return ports;
}

QString UnusablePortsText(const QList<UnusablePort> &ports)
{
    if (ports.isEmpty()) {
        return QStringLiteral("No serial device found on this computer.\n"
                              "Plug the adapter in and start the tool again.");
    }
    QStringList lines{QStringLiteral("No serial port could be opened:")};
    for (qsizetype i = 0; i < ports.size() && i < kMaxListedUnusablePorts; ++i) {
        lines << OpenFailureText(ports[i].failure, ports[i].path);
    }
    if (ports.size() > kMaxListedUnusablePorts) {
        lines << QStringLiteral("and %1 more").arg(ports.size() - kMaxListedUnusablePorts);
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace quillon
