#pragma once

#include "link/mscomm.h"
#include "link/portmap.h"

#include <QList>

namespace quillon {

// One mapped COM number and whether its device opened.
struct PortProbe
{
    int comNumber = 0;
    HostPort host;
    OpenFailure failure; // Kind::None when it opened

    bool opens() const { return failure.kind == OpenFailure::Kind::None; }
};

// Opens each mapped port once and closes it again, COM1 to COM20 in order, as the scan at
// start-up does.
QList<PortProbe> ProbePorts(const PortMap &map);

} // namespace quillon
