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

int CtlContext::fail(const QString &message, int status)
{
    err_ << "quillonctl: " << message << Qt::endl;
    return status;
}

} // namespace quillon
