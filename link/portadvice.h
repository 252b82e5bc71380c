#pragma once

#include "link/mscomm.h"
#include "link/portprobe.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace quillon {

class PortMap;

// Who may open a device file, as the file system says.
struct DeviceAccess
{
    QString group;     // "dialout"; empty when the group has no name
    unsigned gid = 0;  // 0 is root's group
    unsigned mode = 0; // the permission bits, 0660 for crw-rw----
};

DeviceAccess AccessOf(const QString &path);

// The fix for a refused open that fits the device: membership of its group where that group may
// read and write it, otherwise access that only an administrator can grant.
QString PermissionAdvice(const QString &path, const DeviceAccess &access);

// Why a device could not be opened, with the device (or its COM name) as the subject.
QString OpenFailureText(const OpenFailure &failure, const QString &subject);

// A lock file that another user's program left behind when it ended: the serial layer refuses
// the device as locked, and only that user or an administrator can remove the file. Empty when
// there is none.
QString StaleLockFile(const QString &systemLocation);
QString StaleLockFile(const QString &systemLocation, const QStringList &lockDirectories);

// The serial layer's lock file name for a device: LCK..ttyUSB0 for /dev/ttyUSB0.
QString LockFileName(const QString &systemLocation);

// The running process whose lock file holds the device, 0 when none does.
qint64 LockingProcess(const QString &systemLocation);

// A host device that the start-up scan could not open.
struct UnusablePort
{
    QString path;
    OpenFailure failure;
};

// The devices of a scan that did not open, with the reasons.
QList<UnusablePort> UnusablePorts(const QList<PortProbe> &probes);

inline constexpr int kMaxListedUnusablePorts = 8;

// What the port box tells the operator when no port could be opened.
QString UnusablePortsText(const QList<UnusablePort> &ports);

} // namespace quillon
