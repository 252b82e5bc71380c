#include "cli/ctlcontext.h"

namespace quillon {

const PortMap &CtlContext::portMap()
{
    if (options_.portMap) {
        return *options_.portMap;
    }
    if (!hostMap_) {
        hostMap_ = PortMap::host();
    }
    return *hostMap_;
}

std::optional<PortArgument> CtlContext::resolvePort(const QString &argument, QString *error)
{
    return ResolvePortArgument(
        argument, [this]() -> const PortMap & { return portMap(); }, error);
}

int CtlContext::fail(const QString &message, int status)
{
    err_ << "quillonctl: " << message << Qt::endl;
    return status;
}

} // namespace quillon
