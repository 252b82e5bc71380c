#include "link/portprobe.h"

namespace quillon {

namespace {

QString ShortReason(const OpenFailure &failure)
{
    switch (failure.kind) {
    case OpenFailure::Kind::None:
        return QStringLiteral("opens");
    case OpenFailure::Kind::DoesNotExist:
        return QStringLiteral("does not exist");
    case OpenFailure::Kind::InUse:
        return QStringLiteral("in use");
    case OpenFailure::Kind::StaleLock:
        return QStringLiteral("stale lock file");
    case OpenFailure::Kind::NoPermission:
        return QStringLiteral("no permission");
    case OpenFailure::Kind::Other:
        break;
    }
    return QStringLiteral("does not open");
}

} // namespace

QStringList PortProbe::listing() const
{
    return {PortMap::comName(comNumber), host.systemLocation, ShortReason(failure),
            host.description};
}

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
