#include "portmap.h"

namespace quillon {

PortMap PortMap::host()
{
    return {};
}

void PortMap::setPort(int comNumber, const HostPort &port)
{
    ports_[comNumber] = port;
}

const HostPort *PortMap::port(int comNumber) const
{
    auto it = ports_.find(comNumber);
    return it == ports_.end() ? nullptr : &it->second;
}

QString PortMap::comName(int comNumber)
{
    return QStringLiteral("COM%1").arg(comNumber);
}

QString PortMap::describe(int comNumber) const
{
    return comName(comNumber);
}

QString PortMap::tooltip(int comNumber) const
{
    return describe(comNumber);
}

} // namespace quillon
