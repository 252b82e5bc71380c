#pragma once

#include <QString>

#include <optional>

namespace quillon {

class PortMap;

// A PORT argument: "COM1" to "COM20" through the port map, or an absolute device path.
struct PortArgument
{
    QString argument; // as given
    QString path;     // the device to open; empty when a COM number has no host device
    // The device after following symbolic links, so that two arguments naming one device
    // compare equal. The path itself while it does not exist; the COM name while unmapped.
    QString canonicalPath;

    bool sameDevice(const PortArgument &other) const
    {
        return canonicalPath == other.canonicalPath;
    }
};

// nullopt when the argument is neither spelling; `error` then says what is accepted. The COM
// spelling is exact: "com3", "COM03" and "COM3 " are refused like the window's port box does.
std::optional<PortArgument> ResolvePortArgument(const QString &argument, const PortMap &map,
                                                QString *error);

} // namespace quillon
