#include "cli/formatcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"

namespace quillon {

int RunFormatCommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("format"),
                     QStringLiteral("Usage: quillonctl format PORT --yes\n"));
    line.addFlag(QStringLiteral("yes"));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }
    int status = kExitUsage;
    const std::optional<PortArgument> port = OnePort(line, context, &status);
    if (!port) {
        return status;
    }
    if (!line.isSet(QStringLiteral("yes"))) {
        // The window's warning, since nothing here asks twice.
        return line.refuse(context, QStringLiteral("WARNING: Formatting will erase ALL files on "
                                                   "drive F: of the device; give --yes to format"));
    }
    if (!CheckPortMapped(*port, context, &status)) {
        return status;
    }
    return FormatDevice({*port}, context);
}

// NOT YET IMPLEMENTED: the exchange engine drives the format here.
int FormatDevice(const FormatRequest &request, CtlContext &context)
{
    Q_UNUSED(request);
    return context.fail(QStringLiteral("format: not yet available"), kExitDeviceFailed);
}

} // namespace quillon
