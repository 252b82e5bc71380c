#pragma once

#include "link/portmap.h"
#include "sim/simulatedquillon.h"

namespace quillon {

// What the demo puts behind the window: a simulated Quillon with believable settings on COM1,
// and the host's serial ports from COM2 on, in the order the tool itself uses.
class DemoSession
{
public:
    DemoSession();

    SimulatedQuillon &device() { return device_; }
    const PortMap &portMap() const { return portMap_; }

private:
    SimulatedQuillon device_;
    PortMap portMap_;
};

} // namespace quillon
