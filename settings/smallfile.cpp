#include "settings/smallfile.h"

#include <QFile>
#include <QFileInfo>

namespace quillon {

std::optional<QByteArray> ReadSmallFile(const QString &path, QString *error)
{
    // Checked before the open: opening a fifo would wait for a writer.
    const QFileInfo info(path);
    if (info.exists() && !info.isFile()) {
        *error = QStringLiteral("not a regular file");
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = file.errorString();
        return std::nullopt;
    }
    // Read one byte past the limit, so that a file that grew since is refused too.
    QByteArray content = file.read(kMaxSettingsFileBytes + 1);
    if (info.size() > kMaxSettingsFileBytes || content.size() > kMaxSettingsFileBytes) {
        *error = QStringLiteral("larger than 1 MiB");
        return std::nullopt;
    }
    return content;
}

} // namespace quillon
