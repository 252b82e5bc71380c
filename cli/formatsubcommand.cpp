#include "cli/formatsubcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
#include "cli/devicerun.h"
#include "cli/synopses.h"

namespace quillon {

int RunFormatSubcommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("format"), kFormatSynopsis);
    line.addFlag(QStringLiteral("yes"),
                 QStringLiteral("Confirm that the format may erase ALL files on the device's "
                                "drive F:."));
    int status = kExitUsage;
    const std::optional<PortArgument> port = ParseOnePort(line, arguments, context, &status);
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

int FormatDevice(const FormatRequest &request, CtlContext &context)
{
    DeviceRun run(request.port, context);
    if (!run.format()) {
        if (run.interrupted()) {
            // Like the window's Abort: the tool stops waiting, the device is not told.
            return context.fail(QStringLiteral("format: aborted; %1 may still be formatting its "
                                               "flash")
                                    .arg(request.port.argument),
                                run.status());
        }
        return run.report(QStringLiteral("format"));
    }
    context.out() << QStringLiteral("%1: flash formatted").arg(request.port.argument) << Qt::endl;
    return kExitOk;
}

} // namespace quillon
