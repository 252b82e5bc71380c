#include "app/commandline.h"

#include "version.h"

#include <algorithm>
#include <ostream>
#include <string_view>

namespace quillon {

namespace {

constexpr int kUsageError = 2;

// The options that QGuiApplication, QApplication and the X11 platform plugin take from the
// command line, each with one dash or two: those followed by a value ("-style fusion"), those
// with the value attached ("-style=fusion"), and switches.
constexpr std::string_view kQtValueOptions[] = {"platform",
                                                "platformpluginpath",
                                                "platformtheme",
                                                "plugin",
                                                "session",
                                                "style",
                                                "qwindowgeometry",
                                                "qwindowicon",
                                                "qwindowtitle",
                                                "geometry",
                                                "icon",
                                                "title",
                                                "display",
                                                "name",
                                                "stylesheet"};
constexpr std::string_view kQtAttachedOptions[] = {"style", "stylesheet", "qmljsdebugger"};
constexpr std::string_view kQtSwitches[] = {"reverse", "testability", "widgetcount", "qdevel",
                                            "qdebug"};

template <typename Names> bool Holds(const Names &names, std::string_view name)
{
    return std::ranges::find(names, name) != std::ranges::end(names);
}

// How many arguments from argv[at] on Qt takes as one of its options: 0 when it is none.
int QtArgumentsAt(int argc, const char *const *argv, int at)
{
    std::string_view argument = argv[at];
    if (!argument.starts_with('-')) {
        return 0;
    }
    argument.remove_prefix(argument.starts_with("--") ? 2 : 1);
    if (Holds(kQtSwitches, argument)) {
        return 1;
    }
    if (Holds(kQtValueOptions, argument)) {
        return at + 1 < argc ? 2 : 0;
    }
    const std::size_t equals = argument.find('=');
    return equals != std::string_view::npos && Holds(kQtAttachedOptions, argument.substr(0, equals))
               ? 1
               : 0;
}

int RefuseArgument(const ProgramInfo &program, std::string_view argument, std::ostream &err)
{
    err << program.name << ": unknown argument '" << argument << "'\n" << UsageText(program);
    return kUsageError;
}

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

std::optional<int> AnswerBeforeApplication(const ProgramInfo &program, int argc,
                                           const char *const *argv, std::ostream &out,
                                           std::ostream &err)
{
    // An answer wins over a mistake anywhere on the line.
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
    for (int i = 1; i < argc;) {
        const int taken = QtArgumentsAt(argc, argv, i);
        if (taken == 0) {
            return RefuseArgument(program, argv[i], err);
        }
        i += taken;
    }
    return std::nullopt;
}

std::optional<int> RejectLeftoverArguments(const ProgramInfo &program, const QStringList &arguments,
                                           std::ostream &err)
{
    if (arguments.size() <= 1) {
        return std::nullopt;
    }
    return RefuseArgument(program, arguments.at(1).toLocal8Bit().toStdString(), err);
}

} // namespace quillon
