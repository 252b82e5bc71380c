#include "cli/readsubcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
#include "cli/devicerun.h"
#include "cli/synopses.h"
#include "settings/settingsforms.h"

namespace quillon {

int RunReadSubcommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("read"), kReadSynopsis);
    line.addFlag(QStringLiteral("json"), QStringLiteral("Print the settings as one JSON object."));
    int status = kExitUsage;
    const std::optional<PortArgument> port = ParseOnePort(line, arguments, context, &status);
    if (!port) {
        return status;
    }
    if (!CheckPortMapped(*port, context, &status)) {
        return status;
    }
    return ReadDevice({*port, line.isSet(QStringLiteral("json"))}, context);
}

int ReadDevice(const ReadRequest &request, CtlContext &context)
{
    DeviceRun run(request.port, context);
    const std::optional<DeviceSettings> settings = run.read();
    if (!settings) {
        return run.report(QStringLiteral("read"));
    }
    if (request.json) {
        context.out() << SettingsJson(*settings) << Qt::endl;
    } else {
        context.out() << SettingsText(*settings) << Qt::flush;
    }
    return kExitOk;
}

} // namespace quillon
