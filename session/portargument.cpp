#include "session/portargument.h"

#include <QDir>
#include <QFileInfo>

namespace quillon {

std::optional<PortArgument> ResolvePortArgument(const QString &argument,
                                                const std::function<const PortMap &()> &map,
                                                QString *error)
{
    PortArgument port{argument, {}, {}};
    if (argument.startsWith(QLatin1Char('/'))) {
        const QString path = QDir::cleanPath(argument);
        port.target = {path, path};
    } else if (const std::optional<PortTarget> target = map().resolve(argument)) {
        port.target = *target;
    } else {
        *error = QStringLiteral("no port named \"%1\": give COM1 to COM20 or the absolute path "
                                "of a serial device")
                     .arg(argument);
        return std::nullopt;
    }
    if (port.path().isEmpty()) {
        port.canonicalPath = argument;
    } else {
        const QString canonical = QFileInfo(port.path()).canonicalFilePath();
        port.canonicalPath = canonical.isEmpty() ? port.path() : canonical;
    }
    return port;
}

} // namespace quillon
