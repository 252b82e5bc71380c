#include "link/portprobe.h"

namespace quillon {

QList<PortProbe> ProbePorts(const PortMap &map)
{
    QList<PortProbe> probes;
    MSComm comm;
    for (int n = PortMap::kFirstPort; n <= PortMap::kLastPort; ++n) {
        const HostPort *host = map.port(n);
        if (host == nullptr) {
            continue;
        }
        comm.setCommPort(*map.resolve(PortMap::comName(n)));
        PortProbe probe{n, *host, {}};
        if (comm.setPortOpen(true)) {
            comm.setPortOpen(false);
        } else {
            probe.failure = comm.openFailure();
        }
        probes.append(probe);
    }
    return probes;
}

} // namespace quillon
