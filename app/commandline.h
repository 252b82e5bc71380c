#pragma once

#include <QStringList>

#include <iosfwd>
#include <optional>
#include <string>

namespace quillon {

// What a window program says about itself in its usage text.
struct ProgramInfo
{
    const char *name;
    const char *purpose;
};

std::string UsageText(const ProgramInfo &program);

// --help, -h and --version must answer without a display, so they are handled before the
// application object exists. Returns the exit status when the program is to end now.
std::optional<int> AnswerInfoOptions(const ProgramInfo &program, int argc, const char *const *argv,
                                     std::ostream &out);

// Runs once the application object has taken Qt's own options (-platform, -session, ...): the
// programs take no arguments of their own, so anything left is a mistake. Returns the exit
// status when the program is to end now.
std::optional<int> RejectLeftoverArguments(const ProgramInfo &program, const QStringList &arguments,
                                           std::ostream &err);

} // namespace quillon
