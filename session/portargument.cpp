#include "session/portargument.h"

#include "link/portmap.h"

#include <QDir>
#include <QFileInfo>

namespace quillon {

namespace {

// The n of "COMn" for 1 to 20, spelt without sign or leading zero.
std::optional<int> ComNumber(const QString &text)
{
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        if (text == PortMap::comName(n)) {
            return n;
        }
    }
    return std::nullopt;
}

} // namespace

std::optional<PortArgument> ResolvePortArgument(const QString &argument, const PortMap &map,
                                                QString *error)
{
    PortArgument port{argument, {}, {}};
    if (const std::optional<int> n = ComNumber(argument)) {
        if (const HostPort *host = map.port(*n)) {
            port.path = host->systemLocation;
        }
    } else if (argument.startsWith(QLatin1Char('/'))) {
        port.path = QDir::cleanPath(argument);
    } else {
        *error = QStringLiteral("no port named \"%1\": give COM1 to COM20 or the absolute path "
                                "of a serial device")
                     .arg(argument);
        return std::nullopt;
    }
    if (port.path.isEmpty()) {
        port.canonicalPath = argument;
    } else {
        const QString canonical = QFileInfo(port.path).canonicalFilePath();
        port.canonicalPath = canonical.isEmpty() ? port.path : canonical;
    }
    return port;
}

} // namespace quillon
