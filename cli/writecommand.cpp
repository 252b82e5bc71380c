#include "cli/writecommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"

#include <QFile>

namespace quillon {

int RunWriteCommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(
        QStringLiteral("write"),
        QStringLiteral("Usage: quillonctl write PORT [--from FILE] [--serial N] [--mac MAC]\n"
                       "           [--ip A.B.C.D] [--mask A.B.C.D] [--gateway A.B.C.D]\n"
                       "           [--dns1 A.B.C.D] [--dns2 A.B.C.D] [--defaults] [--json]\n"));
    line.addValue(QStringLiteral("from"), QStringLiteral("FILE"));
    for (Setting setting : kAllSettings) {
        line.addValue(SettingKey(setting), QStringLiteral("VALUE"));
    }
    line.addFlag(QStringLiteral("defaults"));
    line.addFlag(QStringLiteral("json"));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }
    int status = kExitUsage;
    const std::optional<PortArgument> port = OnePort(line, context, &status);
    if (!port) {
        return status;
    }

    SettingsEdit edit;
    if (line.isSet(QStringLiteral("from"))) {
        const QString path = line.value(QStringLiteral("from"));
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly)) {
            return line.refuse(context,
                               QStringLiteral("--from %1: %2").arg(path, file.errorString()));
        }
        QString error;
        const std::optional<SettingsEdit> fromFile = SettingsEdit::fromJson(file.readAll(), &error);
        if (!fromFile) {
            return line.refuse(context, QStringLiteral("--from %1: %2").arg(path, error));
        }
        edit = *fromFile;
    }
    if (line.isSet(QStringLiteral("defaults"))) {
        edit.overrideWith(SettingsEdit::factoryDefaults());
    }
    SettingsEdit options;
    for (Setting setting : kAllSettings) {
        if (!line.isSet(SettingKey(setting))) {
            continue;
        }
        QString error;
        if (!options.set(setting, line.value(SettingKey(setting)), &error)) {
            return line.refuse(context, QStringLiteral("--%1: %2").arg(SettingKey(setting), error));
        }
    }
    edit.overrideWith(options);
    if (!edit.changesAnything()) {
        return line.refuse(context, QStringLiteral("nothing to write; give --from, --defaults or "
                                                   "a setting such as --ip"));
    }
    if (!CheckPortMapped(*port, context, &status)) {
        return status;
    }
    return WriteDevice({*port, edit, line.isSet(QStringLiteral("json"))}, context);
}

// NOT YET IMPLEMENTED: the exchange engine drives the read, write and read-back here.
int WriteDevice(const WriteRequest &request, CtlContext &context)
{
    Q_UNUSED(request);
    return context.fail(QStringLiteral("write: not yet available"), kExitDeviceFailed);
}

} // namespace quillon
