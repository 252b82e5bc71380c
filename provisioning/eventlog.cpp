#include "provisioning/eventlog.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace quillon {

bool EventLog::open(const QString &path, QString *error)
{
    // O_APPEND keeps each line whole beside another writer, and a pipe or a device works too.
    const int fd = ::open(QFile::encodeName(path).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0 || !file_.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        *error = QStringLiteral("%1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
        if (fd >= 0) {
            ::close(fd);
        }
        return false;
    }
    path_ = path;
    return true;
}

bool EventLog::write(const PortEvent &event)
{
    if (file_.isOpen() && !failed_) {
        const QByteArray line = PortEventJson(event) + '\n';
        failed_ = file_.write(line) != line.size() || !file_.flush();
    }
    return !failed_;
}

QString EventLog::failure() const
{
    return failed_ ? QStringLiteral("cannot write the log %1: %2").arg(path_, file_.errorString())
                   : QString();
}

} // namespace quillon
