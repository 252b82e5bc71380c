// Simulated Quillons on pseudo-terminals, to try quillonctl and scripts on without a device.

#include "protocol/factorydefaults.h"
#include "sim/devicelinks.h"
#include "sim/faultname.h"
#include "sim/simulatedquillon.h"
#include "version.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>

#include <csignal>
#include <iostream>
#include <memory>
#include <optional>
#include <pthread.h>
#include <vector>

namespace {

using namespace quillon;

constexpr char kProgram[] = "quillon-sim";
constexpr int kFailure = 1;
constexpr int kUsageError = 2;
constexpr int kMaxCount = 100;
// Long enough for quillonctl to show its progress, short enough to sit through.
constexpr std::chrono::seconds kFormatTime(3);
constexpr char kLinkStem[] = "quillon";

struct SimOptions
{
    int count = 1;
    QString linkDirectory;
    SimulatedQuillon::ReplyFault fault = SimulatedQuillon::ReplyFault::None;
    bool lineRate = false;
};

int Refuse(const QString &message)
{
    std::cerr << kProgram << ": " << message.toLocal8Bit().constData() << "\nTry '" << kProgram
              << " --help'.\n";
    return kUsageError;
}

QString FaultList()
{
    QString list;
    for (const FaultName &name : FaultNames()) {
        list += QStringLiteral("  %1  %2\n")
                    .arg(QLatin1String(name.name.data(), name.name.size()), -14)
                    .arg(QLatin1String(name.meaning.data(), name.meaning.size()));
    }
    return list;
}

QString HelpText(const QCommandLineParser &parser)
{
    QString text = parser.helpText();
    // Qt's first line names the program as it was started, path and all.
    text.replace(0, text.indexOf(u'\n'), QStringLiteral("Usage: %1 [OPTION]...").arg(kProgram));
    return text + QStringLiteral("\nFault kinds:\n") + FaultList() +
           QStringLiteral("\nEach device path is printed on a line of its own once it answers.\n"
                          "Ctrl+C or SIGTERM ends the program and removes the links.\n");
}

// Fills `options` from the command line; returns the exit status when the program is to end.
std::optional<int> ParseOptions(const QStringList &arguments, SimOptions &options)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Starts simulated Quillons on pseudo-terminals, each with a factory-fresh\n"
                       "identity, and keeps them answering until it is stopped."));
    const QCommandLineOption help(QStringList{"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version("version", "Show the version and exit.");
    const QCommandLineOption count(
        "count", QStringLiteral("Start N devices (1 to %1; 1 if not given).").arg(kMaxCount), "N");
    const QCommandLineOption link(
        "link",
        "Make the links DIR/quillon1 to DIR/quillonN to the devices and print their paths instead.",
        "DIR");
    const QCommandLineOption fault("fault", "Every device shows the fault KIND (see below).",
                                   "KIND");
    const QCommandLineOption lineRate(
        "line-rate", "Answer at the pace of a real line at 115200 baud, not at once.");
    parser.addOptions({help, version, count, link, fault, lineRate});
    if (!parser.parse(arguments)) {
        return Refuse(parser.errorText());
    }
    if (parser.isSet(help)) {
        std::cout << HelpText(parser).toLocal8Bit().constData();
        return 0;
    }
    if (parser.isSet(version)) {
        std::cout << kProgram << ' ' << kVersion << '\n';
        return 0;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return Refuse(
            QStringLiteral("unknown argument '%1'").arg(parser.positionalArguments().first()));
    }
    if (parser.isSet(count)) {
        bool ok = false;
        options.count = parser.value(count).toInt(&ok);
        if (!ok || options.count < 1 || options.count > kMaxCount) {
            return Refuse(QStringLiteral("--count takes a number from 1 to %1, not '%2'")
                              .arg(kMaxCount)
                              .arg(parser.value(count)));
        }
    }
    if (parser.isSet(fault)) {
        const std::optional<SimulatedQuillon::ReplyFault> named =
            FaultNamed(parser.value(fault).toStdString());
        if (!named) {
            return Refuse(QStringLiteral("unknown fault kind '%1'").arg(parser.value(fault)));
        }
        options.fault = *named;
    }
    options.linkDirectory = parser.value(link);
    if (parser.isSet(link) && options.linkDirectory.isEmpty()) {
        return Refuse(QStringLiteral("--link takes a directory"));
    }
    options.lineRate = parser.isSet(lineRate);
    return std::nullopt;
}

sigset_t StopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&set, signal);
    }
    return set;
}

int RunDevices(const SimOptions &options)
{
    // Blocked before the devices' threads start, which inherit the mask, so that only the wait
    // below takes the signals and every device and link is cleaned up.
    const sigset_t stopSignals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    // A reader that went away must not end the devices without their clean-up.
    std::signal(SIGPIPE, SIG_IGN);

    std::optional<DeviceLinks> links;
    if (!options.linkDirectory.isEmpty()) {
        links.emplace(QFile::encodeName(options.linkDirectory).toStdString());
    }
    std::vector<std::unique_ptr<SimulatedQuillon>> devices;
    for (int i = 1; i <= options.count; ++i) {
        auto device = std::make_unique<SimulatedQuillon>();
        device->setSettings(FactorySettings());
        device->setFormatTime(kFormatTime);
        device->setReplyFault(options.fault);
        if (options.lineRate) {
            device->setPacing(SimulatedQuillon::Pacing::LineRate);
        }
        std::string path = device->devicePath();
        if (links) {
            path = links->add(kLinkStem + std::to_string(i), path);
        }
        devices.push_back(std::move(device));
        std::cout << path << std::endl;
    }
    int signal = 0;
    sigwait(&stopSignals, &signal);
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimOptions options;
    if (const std::optional<int> status = ParseOptions(QCoreApplication::arguments(), options)) {
        return *status;
    }
    try {
        return RunDevices(options);
    } catch (const std::exception &error) {
        std::cerr << kProgram << ": " << error.what() << '\n';
        return kFailure;
    }
}
