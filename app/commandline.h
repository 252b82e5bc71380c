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

// Runs before the application object exists, since without a display Qt aborts while making
// it: answers --help, -h and --version, and refuses any argument that is neither one of these
// nor one of Qt's own options. Returns the exit status when the program is to end now.
std::optional<int> AnswerBeforeApplication(const ProgramInfo &program, int argc,
                                           const char *const *argv, std::ostream &out,
                                           std::ostream &err);

// Runs once the application object has taken Qt's own options (-platform, -session, ...): the
// programs take no arguments of their own, so anything left is a mistake. This catches what
// the early check lets through, such as -display on a platform without that option. Returns
// the exit status when the program is to end now.
std::optional<int> RejectLeftoverArguments(const ProgramInfo &program, const QStringList &arguments,
                                           std::ostream &err);

} // namespace quillon
