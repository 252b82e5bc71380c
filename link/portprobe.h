#pragma once

#include "link/mscomm.h"
#include "link/portmap.h"

#include <QList>
#include <QStringList>

namespace quillon {

// One mapped COM number and whether its device opened.
struct PortProbe
{
    int comNumber = 0;
    HostPort host;
    OpenFailure failure; // Kind::None when it opened

    bool opens() const { return failure.kind == OpenFailure::Kind::None; }
    // How `quillonctl ports` and the station name the port, one text per column: the COM
    // name, the device, whether it opens (or in a word why not), its description.
    QStringList listing() const;
};

// Opens each mapped port once and closes it again, COM1 to COM20 in order, as the scan at
// start-up does.
QList<PortProbe> ProbePorts(const PortMap &map);

} // namespace quillon
