#pragma once

#include "link/portmap.h"

#include <QString>

#include <functional>
#include <optional>

namespace quillon {

// A PORT argument: "COM1" to "COM20" through the port map, or an absolute device path.
struct PortArgument
{
    QString argument; // as given
    // The device to open, empty when a COM number has no host device, and how port errors name
    // it: "COM3 (/dev/ttyUSB0)", or the path.
    PortTarget target;
    // The device after following symbolic links, so that two arguments naming one device
    // compare equal. The path itself while it does not exist; the COM name while unmapped.
    QString canonicalPath;

    const QString &path() const { return target.systemLocation; }
    bool sameDevice(const PortArgument &other) const
    {
        return canonicalPath == other.canonicalPath;
    }
};

// nullopt when the argument is neither spelling; `error` then says what is accepted. The COM
// spelling is exact: "com3", "COM03" and "COM3 " are refused like the window's port box does.
// `map` is asked for only by a COM name, so a device path never has the host's ports listed.
std::optional<PortArgument> ResolvePortArgument(const QString &argument,
                                                const std::function<const PortMap &()> &map,
                                                QString *error);

} // namespace quillon
