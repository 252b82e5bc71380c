#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <initializer_list>
#include <optional>

namespace quillon {

class CtlContext;
struct PortArgument;

// The description of --ledger, which provision and ledger share.
inline const QString kLedgerOption =
    QStringLiteral("The ledger: an SQLite file or a postgresql:// URL; QUILLON_LEDGER when not "
                   "given.");

// The synopsis with each line after the first indented by `indent` spaces more.
QString IndentedSynopsis(const char *synopsis, int indent);

// One subcommand's command line: its options, parsed without ever exiting the process, with
// each refusal a single line naming the command.
class CommandLine
{
public:
    // `synopsis` is the command's entry of synopses.h.
    CommandLine(QString command, const char *synopsis);

    // Each option's one-sentence description is its --help line.
    void addFlag(const QString &name, const QString &description);
    void addValue(const QString &name, const QString &valueName, const QString &description);

    // Parses `arguments` (the words after the command). Returns the exit status to end with
    // when the command must not run: 0 after --help, 2 after a refusal already printed.
    std::optional<int> parse(const QStringList &arguments, CtlContext &context);

    bool isSet(const QString &name) const { return parser_.isSet(name); }
    QString value(const QString &name) const { return parser_.value(name); }
    QStringList positional() const { return parser_.positionalArguments(); }

    // Prints "quillonctl: <command>: <message>" and returns status 2.
    int refuse(CtlContext &context, const QString &message) const;

    // The usage, then one line per option with its description.
    QString help() const;

private:
    QString command_;
    QString usage_;
    QCommandLineParser parser_;
    QList<QCommandLineOption> options_;
    QStringList valueOptions_;
};

// Parses the command line of read, write and format and resolves its one PORT. Nothing when the
// command must not run, with the status to end with: 0 after --help, 2 after a refusal of the
// options or of a missing, extra or malformed PORT.
std::optional<PortArgument> ParseOnePort(CommandLine &line, const QStringList &arguments,
                                         CtlContext &context, int *status);

// A COM number without a host device fails like an open of a missing port: the window's
// "Port error" line, status 3. False when it has none.
bool CheckPortMapped(const PortArgument &port, CtlContext &context, int *status);

} // namespace quillon
