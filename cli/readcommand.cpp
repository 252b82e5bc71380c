#include "cli/readcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"

namespace quillon {

int RunReadCommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("read"),
                     QStringLiteral("Usage: quillonctl read PORT [--json]\n"));
    line.addFlag(QStringLiteral("json"));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }
    int status = kExitUsage;
    const std::optional<PortArgument> port = OnePort(line, context, &status);
    if (!port) {
        return status;
    }
    if (!CheckPortMapped(*port, context, &status)) {
        return status;
    }
    return ReadDevice({*port, line.isSet(QStringLiteral("json"))}, context);
}

// NOT YET IMPLEMENTED: the exchange engine drives the read here.
int ReadDevice(const ReadRequest &request, CtlContext &context)
{
    Q_UNUSED(request);
    return context.fail(QStringLiteral("read: not yet available"), kExitDeviceFailed);
}

} // namespace quillon
