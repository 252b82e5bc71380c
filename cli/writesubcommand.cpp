#include "cli/writesubcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
#include "cli/devicerun.h"
#include "cli/synopses.h"
#include "settings/settingscheck.h"
#include "settings/settingsforms.h"
#include "settings/smallfile.h"
#include "settings/values.h"

namespace quillon {

namespace {

// "IP Address 10.0.0.1 written, 10.0.0.2 read back; ..." for each setting that differs.
QString Mismatch(const DeviceSettings &written, const DeviceSettings &readBack)
{
    return JoinChanges(written, readBack, QStringLiteral("; "), [](const SettingChange &change) {
        return QStringLiteral("%1 %2 written, %3 read back")
            .arg(SettingLabel(change.setting), change.before, change.after);
    });
}

// One line "<label>: <before> -> <after>" per setting that differs.
QString DescribeChanges(const DeviceSettings &before, const DeviceSettings &after)
{
    return JoinChanges(before, after, {}, [](const SettingChange &change) {
        return QStringLiteral("%1: %2 -> %3\n")
            .arg(SettingLabel(change.setting), change.before, change.after);
    });
}

// Why the settings a write would leave cannot work; only what it changes is judged, so a
// device's own odd values never block a change elsewhere.
QString WriteProblem(const DeviceSettings &before, const DeviceSettings &after)
{
    if (after.mac != before.mac) {
        if (QString problem = MacProblem(after.mac); !problem.isEmpty()) {
            return problem;
        }
    }
    DeviceSettings addressesBefore = before;
    addressesBefore.serialNumber = after.serialNumber;
    addressesBefore.mac = after.mac;
    return addressesBefore == after ? QString() : NetworkProblem(after);
}

// How the usage names each setting's value.
QString ValueName(Setting setting)
{
    switch (setting) {
    case Setting::Serial:
        return QStringLiteral("N");
    case Setting::Mac:
        return QStringLiteral("MAC");
    default:
        return QStringLiteral("A.B.C.D");
    }
}

} // namespace

int RunWriteSubcommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("write"), kWriteSynopsis);
    line.addValue(QStringLiteral("from"), QStringLiteral("FILE"),
                  QStringLiteral("Take the settings from a JSON object as read --json prints it; "
                                 "its serial number and MAC only with --identity."));
    line.addFlag(QStringLiteral("identity"),
                 QStringLiteral("With --from, restore the file's serial number and MAC too."));
    for (Setting setting : kAllSettings) {
        line.addValue(SettingKey(setting), ValueName(setting),
                      QStringLiteral("Set \"%1\" to the value given.").arg(SettingLabel(setting)));
    }
    line.addFlag(QStringLiteral("defaults"),
                 QStringLiteral("Take the factory defaults of the MAC and the addresses; the "
                                "serial number stays."));
    line.addFlag(QStringLiteral("json"),
                 QStringLiteral("Print the settings before and after as one JSON object."));
    int status = kExitUsage;
    const std::optional<PortArgument> port = ParseOnePort(line, arguments, context, &status);
    if (!port) {
        return status;
    }

    SettingsEdit edit;
    SettingsEdit keptIdentity;
    if (line.isSet(QStringLiteral("identity")) && !line.isSet(QStringLiteral("from"))) {
        return line.refuse(context, QStringLiteral("--identity restores the serial number and "
                                                   "MAC of a --from FILE; give one"));
    }
    if (line.isSet(QStringLiteral("from"))) {
        const QString path = line.value(QStringLiteral("from"));
        QString error;
        const std::optional<QByteArray> text = ReadSmallFile(path, &error);
        if (!text) {
            return line.refuse(context, QStringLiteral("--from %1: %2").arg(path, error));
        }
        const std::optional<SettingsEdit> fromFile = SettingsEdit::fromJson(*text, &error);
        if (!fromFile) {
            return line.refuse(context, QStringLiteral("--from %1: %2").arg(path, error));
        }
        edit = *fromFile;
        // A unit's file copied onto another would give two units one identity.
        if (!line.isSet(QStringLiteral("identity"))) {
            keptIdentity = edit.takeIdentity();
        }
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
    return WriteDevice({*port, edit, keptIdentity, line.isSet(QStringLiteral("json"))}, context);
}

int WriteDevice(const WriteRequest &request, CtlContext &context)
{
    DeviceRun run(request.port, context);
    const std::optional<DeviceSettings> before = run.read();
    if (!before) {
        return run.report(QStringLiteral("write: reading the device"));
    }
    QString error;
    const std::optional<DeviceSettings> fileIdentity =
        request.keptIdentity.applyTo(*before, &error);
    if (fileIdentity &&
        (fileIdentity->serialNumber != before->serialNumber || fileIdentity->mac != before->mac)) {
        context.err() << QStringLiteral("quillonctl: write: serial number %1 and MAC %2 kept as "
                                        "%3 has them; the file's %4 and %5 are written only with "
                                        "--identity")
                             .arg(before->serialNumber)
                             .arg(MacText(before->mac), request.port.argument)
                             .arg(fileIdentity->serialNumber)
                             .arg(MacText(fileIdentity->mac))
                      << Qt::endl;
    }
    const std::optional<DeviceSettings> wanted = request.edit.applyTo(*before, &error);
    if (!wanted) {
        return context.fail(QStringLiteral("write: ") + error, kExitUsage);
    }
    if (const QString problem = WriteProblem(*before, *wanted); !problem.isEmpty()) {
        return context.fail(QStringLiteral("write: %1; nothing written").arg(problem), kExitUsage);
    }
    if (!run.write(*wanted)) {
        if (run.interrupted() && run.requestSent()) {
            return context.fail(QStringLiteral("write: interrupted after the settings were sent "
                                               "to %1; read it to see what it holds")
                                    .arg(request.port.argument),
                                run.status());
        }
        return run.report(QStringLiteral("write"));
    }
    const std::optional<DeviceSettings> after = run.read();
    if (!after) {
        return run.report(QStringLiteral("write: reading back"));
    }
    if (request.json) {
        context.out() << "{\"before\": " << SettingsJson(*before)
                      << ", \"after\": " << SettingsJson(*after) << "}" << Qt::endl;
    } else {
        const QString changes = DescribeChanges(*before, *after);
        context.out() << (changes.isEmpty() ? QStringLiteral("No setting changed.\n") : changes)
                      << Qt::flush;
    }
    if (*after != *wanted) {
        return context.fail(QStringLiteral("write: the device reads back other settings than "
                                           "were written: %1")
                                .arg(Mismatch(*wanted, *after)),
                            kExitDeviceFailed);
    }
    return kExitOk;
}

} // namespace quillon
