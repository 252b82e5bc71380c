#include "cli/commandline.h"

#include "cli/ctlcontext.h"
#include "link/exchange.h"
#include "link/mscomm.h"
#include "session/portargument.h"

namespace quillon {

QString IndentedSynopsis(const char *synopsis, int indent)
{
    return QString::fromLatin1(synopsis).replace(u'\n', QLatin1Char('\n') +
                                                            QString(indent, QLatin1Char(' ')));
}

CommandLine::CommandLine(QString command, const char *synopsis)
    : command_(std::move(command)),
      usage_(QStringLiteral("Usage: ") + IndentedSynopsis(synopsis, 7) + QLatin1Char('\n'))
{
    options_ << QCommandLineOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                   QStringLiteral("Print this help."));
    parser_.addOption(options_.back());
}

void CommandLine::addFlag(const QString &name, const QString &description)
{
    options_ << QCommandLineOption(name, description);
    parser_.addOption(options_.back());
}

void CommandLine::addValue(const QString &name, const QString &valueName,
                           const QString &description)
{
    options_ << QCommandLineOption(name, description, valueName);
    parser_.addOption(options_.back());
    valueOptions_ << name;
}

QString CommandLine::help() const
{
    QStringList names;
    qsizetype width = 0;
    for (const QCommandLineOption &option : options_) {
        QStringList spelt;
        for (const QString &name : option.names()) {
            spelt << (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
        }
        names << spelt.join(QStringLiteral(", ")) +
                     (option.valueName().isEmpty() ? QString() : u' ' + option.valueName());
        width = std::max(width, names.back().size());
    }
    QString text = usage_ + QStringLiteral("\nOptions:\n");
    for (qsizetype i = 0; i < options_.size(); ++i) {
        text += QStringLiteral("  %1  %2\n")
                    .arg(names[i].leftJustified(width), options_[i].description());
    }
    return text;
}

std::optional<int> CommandLine::parse(const QStringList &arguments, CtlContext &context)
{
    // The parser skips the first word as the program's name.
    if (!parser_.parse(QStringList{command_} + arguments)) {
        return refuse(context, parser_.errorText());
    }
    if (parser_.isSet(QStringLiteral("help"))) {
        context.out() << help() << Qt::flush;
        return kExitOk;
    }
    // A value given twice is more likely a slip than a wish for the last one.
    for (const QString &name : valueOptions_) {
        if (parser_.values(name).size() > 1) {
            return refuse(context, QStringLiteral("--%1 is given more than once").arg(name));
        }
    }
    return std::nullopt;
}

int CommandLine::refuse(CtlContext &context, const QString &message) const
{
    return context.fail(QStringLiteral("%1: %2").arg(command_, message), kExitUsage);
}

std::optional<PortArgument> ParseOnePort(CommandLine &line, const QStringList &arguments,
                                         CtlContext &context, int *status)
{
    if (const std::optional<int> ended = line.parse(arguments, context)) {
        *status = *ended;
        return std::nullopt;
    }
    const QStringList ports = line.positional();
    if (ports.size() != 1) {
        *status = line.refuse(context, ports.isEmpty() ? QStringLiteral("give a PORT")
                                                       : QStringLiteral("give one PORT only"));
        return std::nullopt;
    }
    QString error;
    std::optional<PortArgument> port = context.resolvePort(ports.front(), &error);
    if (!port) {
        *status = line.refuse(context, error);
    }
    return port;
}

bool CheckPortMapped(const PortArgument &port, CtlContext &context, int *status)
{
    if (!port.path().isEmpty()) {
        return true;
    }
    OpenFailure missing;
    missing.kind = OpenFailure::Kind::DoesNotExist;
    *status = context.fail(PortErrorLine(missing, port.argument), kExitPortUnavailable);
    return false;
}

} // namespace quillon
