#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace quillon {

// Plans and settings files are a few hundred bytes.
inline constexpr qint64 kMaxSettingsFileBytes = 1024 * 1024;

// The content of a regular file of at most kMaxSettingsFileBytes. Anything else (a device, a
// fifo, a directory, a larger file) is refused before a byte is read, with the reason.
std::optional<QByteArray> ReadSmallFile(const QString &path, QString *error);

} // namespace quillon
