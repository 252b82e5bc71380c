#pragma once

#include <QString>

namespace quillon {

// The device file a path finally names, so that a symbolic link and its target are one port
// to every lock. The path itself when it cannot be resolved.
QString RealDevicePath(const QString &path);

// Takes the exclusive advisory lock on an open device that other serial programs take too.
// False when another open file holds it.
bool LockDeviceExclusively(int fd);

// "picocom (process 4242)", or empty when the process has ended or cannot be seen.
QString ProcessName(qint64 pid);

// The first other process that has `devicePath` open, named as ProcessName() does; empty when
// /proc cannot tell.
QString DeviceHolder(const QString &devicePath);

} // namespace quillon
