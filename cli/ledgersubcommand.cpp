#include "cli/ledgersubcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
#include "cli/ledgerargument.h"
#include "cli/synopses.h"
#include "ledger/ledger.h"

namespace quillon {

namespace {

const QStringList kHeader{QStringLiteral("serial"),
                          QStringLiteral("mac"),
                          QStringLiteral("ip"),
                          QStringLiteral("port"),
                          QStringLiteral("state"),
                          QStringLiteral("reason"),
                          QStringLiteral("previous_serial"),
                          QStringLiteral("previous_mac"),
                          QStringLiteral("time"),
                          QStringLiteral("station"),
                          QStringLiteral("user"),
                          QStringLiteral("allocated_at"),
                          QStringLiteral("written_at"),
                          QStringLiteral("verified_at")};

QStringList Fields(const Ledger::Row &row)
{
    return {QString::number(row.serial),
            MacText(row.mac),
            AddressText(row.ip),
            row.port,
            Ledger::stateName(row.state),
            row.reason,
            QString::number(row.previousSerial),
            MacText(row.previousMac),
            row.time,
            row.station,
            row.user,
            row.allocatedAt,
            row.writtenAt,
            row.verifiedAt};
}

// RFC 4180 quoting, with Unix line ends: a field with a comma, quote or line break is quoted, its
// quotes doubled.
QString CsvField(const QString &field)
{
    if (!field.contains(QLatin1Char(',')) && !field.contains(QLatin1Char('"')) &&
        !field.contains(QLatin1Char('\n')) && !field.contains(QLatin1Char('\r'))) {
        return field;
    }
    QString quoted = field;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString Csv(const QList<Ledger::Row> &rows)
{
    QString text = kHeader.join(QLatin1Char(',')) + QLatin1Char('\n');
    for (const Ledger::Row &row : rows) {
        QStringList fields = Fields(row);
        for (QString &field : fields) {
            field = CsvField(field);
        }
        text += fields.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    return text;
}

// Columns padded to their widest entry; the free-text reason moves to the end of its line.
QString Table(const QList<Ledger::Row> &rows)
{
    QList<QStringList> lines{{QStringLiteral("SERIAL"), QStringLiteral("MAC"), QStringLiteral("IP"),
                              QStringLiteral("PORT"), QStringLiteral("STATE"),
                              QStringLiteral("PREVIOUS"), QStringLiteral("STATION"),
                              QStringLiteral("USER"), QStringLiteral("TIME"),
                              QStringLiteral("REASON")}};
    for (const Ledger::Row &row : rows) {
        const QStringList f = Fields(row);
        lines << QStringList{f[0], f[1],  f[2], f[3], f[4], f[6] + QLatin1Char(' ') + f[7],
                             f[9], f[10], f[8], f[5]};
    }
    const qsizetype padded = lines.front().size() - 1;
    QList<qsizetype> widths(padded, 0);
    for (const QStringList &line : lines) {
        for (qsizetype i = 0; i < padded; ++i) {
            widths[i] = std::max(widths[i], line[i].size());
        }
    }
    QString text;
    for (const QStringList &line : lines) {
        QString out;
        for (qsizetype i = 0; i < padded; ++i) {
            out += line[i].leftJustified(widths[i]) + QStringLiteral("  ");
        }
        text += (out + line.back()).trimmed() + QLatin1Char('\n');
    }
    return text;
}

int Init(const CommandLine &line, const LedgerLocation &location, CtlContext &context)
{
    QString error;
    const std::optional<ProvisionPlan> plan = PlanArgument(line, &error);
    if (!plan || !Ledger::create(location, *plan, &error)) {
        return line.refuse(context, error);
    }
    context.out() << "made the ledger " << location.name() << Qt::endl;
    return kExitOk;
}

int Backup(const CommandLine &line, Ledger &ledger, const QString &destination, CtlContext &context)
{
    QString error;
    if (!ledger.backup(destination, &error)) {
        return line.refuse(context, error);
    }
    context.out() << "backed up the ledger to " << destination << Qt::endl;
    return kExitOk;
}

int Adopt(const CommandLine &line, const LedgerLocation &location, CtlContext &context)
{
    QString error;
    if (!Ledger::adopt(location, &error)) {
        return line.refuse(context, error);
    }
    context.out() << location.name()
                  << " is the ledger now; never provision from the one it was copied from again"
                  << Qt::endl;
    return kExitOk;
}

} // namespace

int RunLedgerSubcommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("ledger"), kLedgerSynopsis);
    line.addValue(QStringLiteral("ledger"), QStringLiteral("LOCATION"), kLedgerOption);
    line.addValue(QStringLiteral("plan"), QStringLiteral("PLAN.json"),
                  QStringLiteral("With init: the plan whose ranges the new ledger hands out."));
    line.addFlag(QStringLiteral("csv"),
                 QStringLiteral("Print CSV with a header line instead of a table."));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }
    const QStringList words = line.positional();
    const QString action = words.value(0);
    const qsizetype expected = action == QLatin1String("backup") ? 2
                               : action == QLatin1String("init") || action == QLatin1String("adopt")
                                   ? 1
                                   : 0;
    if (words.size() != expected) {
        return line.refuse(context,
                           expected == 0 && !words.isEmpty()
                               ? QStringLiteral("unknown action \"%1\"").arg(action)
                               : QStringLiteral("give init, backup DEST, adopt or nothing"));
    }
    if (line.isSet(QStringLiteral("plan")) != (action == QLatin1String("init"))) {
        return line.refuse(context, QStringLiteral("--plan belongs to init, and init needs it"));
    }
    QString error;
    const std::optional<LedgerLocation> location = LedgerArgument(line, context, &error);
    if (!location) {
        return line.refuse(context, error);
    }
    if (action == QLatin1String("init")) {
        return Init(line, *location, context);
    }
    if (action == QLatin1String("adopt")) {
        return Adopt(line, *location, context);
    }
    const std::unique_ptr<Ledger> ledger = Ledger::openExisting(*location, &error);
    if (ledger && action == QLatin1String("backup")) {
        return Backup(line, *ledger, words[1], context);
    }
    std::optional<QList<Ledger::Row>> rows;
    if (ledger) {
        rows = ledger->rows(&error);
    }
    if (!rows) {
        return line.refuse(context, error);
    }
    context.out() << (line.isSet(QStringLiteral("csv")) ? Csv(*rows) : Table(*rows)) << Qt::flush;
    return kExitOk;
}

} // namespace quillon
