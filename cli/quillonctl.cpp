#include "cli/quillonctl.h"

#include "cli/commandline.h"
#include "cli/formatsubcommand.h"
#include "cli/ledgersubcommand.h"
#include "cli/portssubcommand.h"
#include "cli/provisionsubcommand.h"
#include "cli/readsubcommand.h"
#include "cli/synopses.h"
#include "cli/writesubcommand.h"
#include "version.h"

#include <map>

namespace quillon {

namespace {

using Command = int (*)(const QStringList &, CtlContext &);

const std::map<QString, Command> kCommands{
    {QStringLiteral("ports"), RunPortsSubcommand},
    {QStringLiteral("read"), RunReadSubcommand},
    {QStringLiteral("write"), RunWriteSubcommand},
    {QStringLiteral("format"), RunFormatSubcommand},
    {QStringLiteral("provision"), RunProvisionSubcommand},
    {QStringLiteral("ledger"), RunLedgerSubcommand},
};

// What the commands share, after their synopses in the overview.
const char kUsageEnd[] =
    "  quillonctl help COMMAND\n"
    "  quillonctl --help | -V | --version\n"
    "\n"
    "PORT is COM1 to COM20 or the absolute path of a serial device. LOCATION is an SQLite\n"
    "file or postgresql://[user[:password]@]host[:port]/database; QUILLON_LEDGER gives it\n"
    "when --ledger does not.\n"
    "Exit status: 0 success, 1 a device failed, 2 usage or an invalid value,\n"
    "3 the port cannot be opened, 128 + n ended by signal n (130 Ctrl+C).\n"
    "See quillonctl(1).\n";

// The overview: every command's synopsis, then what they share.
QString Usage()
{
    QString text = QStringLiteral("Usage: quillonctl COMMAND [ARGUMENTS]\n"
                                  "Reads, writes, formats and provisions Quillon devices over a "
                                  "serial port.\n\n");
    for (const char *synopsis : {kPortsSynopsis, kReadSynopsis, kWriteSynopsis, kFormatSynopsis,
                                 kProvisionSynopsis, kLedgerSynopsis}) {
        text += QStringLiteral("  ") + IndentedSynopsis(synopsis, 2) + QLatin1Char('\n');
    }
    return text + QLatin1String(kUsageEnd);
}

int RunCommand(const QStringList &arguments, CtlContext &context)
{
    QTextStream &out = context.out();
    QTextStream &err = context.err();
    const QString first = arguments.value(1);
    if (first == QLatin1String("help") && arguments.size() > 2) {
        // "help read" is "read --help".
        const auto command = kCommands.find(arguments[2]);
        if (command == kCommands.end() || arguments.size() > 3) {
            return context.fail(QStringLiteral("help: give one COMMAND, not \"%1\"; see "
                                               "quillonctl --help")
                                    .arg(arguments.mid(2).join(u' ')),
                                kExitUsage);
        }
        return command->second(QStringList{QStringLiteral("--help")}, context);
    }
    if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
        first == QLatin1String("help")) {
        out << Usage() << Qt::flush;
        return kExitOk;
    }
    if (first == QLatin1String("--version") || first == QLatin1String("-V")) {
        out << "quillonctl " << kVersion << Qt::endl;
        return kExitOk;
    }
    if (first.isEmpty()) {
        err << Usage() << Qt::flush;
        return kExitUsage;
    }
    const auto command = kCommands.find(first);
    if (command == kCommands.end()) {
        return context.fail(
            QStringLiteral("unknown command \"%1\"; see quillonctl --help").arg(first), kExitUsage);
    }
    return command->second(arguments.mid(2), context);
}

} // namespace

int RunQuillonCtl(const QStringList &arguments, const CtlOptions &options, QTextStream &out,
                  QTextStream &err)
{
    CtlContext context(options, out, err);
    const int status = RunCommand(arguments, context);
    out.flush();
    // A command that failed has said why; a success that could not be printed has not.
    if (status == kExitOk && out.status() != QTextStream::Ok) {
        // A closed pipe or a full disk must never pass for a complete export.
        const QString reason = out.device() ? out.device()->errorString() : QString();
        return context.fail(QStringLiteral("cannot write standard output: %1")
                                .arg(reason.isEmpty() ? QStringLiteral("write failed") : reason),
                            kExitDeviceFailed);
    }
    return status;
}

} // namespace quillon
