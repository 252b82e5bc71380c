#include "app/commandline.h"

#include "version.h"

#include <ostream>
#include <string_view>

namespace quillon {

namespace {

constexpr int kUsageError = 2;

} // namespace

std::string UsageText(const ProgramInfo &program)
{
    return std::string("Usage: ") + program.name + " [OPTION]\n" + program.purpose +
           "\n\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  --version      show the version and exit\n"
           "\n"
           "Qt's own options, such as -platform, -style and -session, are accepted too.\n";
}

std::optional<int> AnswerInfoOptions(const ProgramInfo &program, int argc, const char *const *argv,
                                     std::ostream &out)
{
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--help" || argument == "-h") {
            out << UsageText(program);
            return 0;
        }
        if (argument == "--version") {
            out << program.name << ' ' << kVersion << '\n';
            return 0;
        }
    }
    return std::nullopt;
}

std::optional<int> RejectLeftoverArguments(const ProgramInfo &program, const QStringList &arguments,
                                           std::ostream &err)
{
    if (arguments.size() <= 1) {
        return std::nullopt;
    }
    err << program.name << ": unknown argument '" << arguments.at(1).toLocal8Bit().constData()
        << "'\n"
        << UsageText(program);
    return kUsageError;
}

} // namespace quillon
