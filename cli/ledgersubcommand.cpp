#include "cli/ledgersubcommand.h"

#include "cli/commandline.h"
#include "cli/ctlcontext.h"
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
                          QStringLiteral("time")};

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
            row.time};
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
                              QStringLiteral("PREVIOUS"), QStringLiteral("TIME"),
                              QStringLiteral("REASON")}};
    for (const Ledger::Row &row : rows) {
        const QStringList f = Fields(row);
        lines << QStringList{f[0], f[1], f[2], f[3], f[4], f[6] + QLatin1Char(' ') + f[7],
                             f[8], f[5]};
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

} // namespace

int RunLedgerSubcommand(const QStringList &arguments, CtlContext &context)
{
    CommandLine line(QStringLiteral("ledger"),
                     QStringLiteral("Usage: quillonctl ledger [--ledger FILE] [--csv]\n"));
    line.addValue(QStringLiteral("ledger"), QStringLiteral("FILE"), kLedgerOption);
    line.addFlag(QStringLiteral("csv"),
                 QStringLiteral("Print CSV with a header line instead of a table."));
    if (const std::optional<int> status = line.parse(arguments, context)) {
        return *status;
    }
    if (!line.positional().isEmpty()) {
        return line.refuse(context, QStringLiteral("takes no PORT"));
    }
    const QString path = line.isSet(QStringLiteral("ledger")) ? line.value(QStringLiteral("ledger"))
                                                              : Ledger::kDefaultFile;
    QString error;
    const std::unique_ptr<Ledger> ledger = Ledger::openExisting(path, &error);
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
