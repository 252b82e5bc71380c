// Provisioning in parallel: quillonctl provision against 20 simulated Quillons, each on its own
// pseudo-terminal and answering at the real line rate, beside the same run with one of them.
// The wire sets the pace of one device (two 105-byte replies at 86.8 us a byte, about 18 ms);
// what the 20 add on top of that is the tool's own cost on its one event loop: the ports'
// opens and closes, the receive handling and the ledger's commits.

#include "cli/quillonctl.h"
#include "privatelockdir.h"
#include "samples.h"
#include "sim/simulatedquillon.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

using namespace quillon;

namespace {

constexpr int kPorts = 20;
constexpr int kWarmUp = 2;
constexpr int kRounds = 15;

const QByteArray kPlan =
    R"({"serial": {"first": 1000, "last": 999999}, "mac": {"first": "02:5C:E1:C0:10:00", )"
    R"("last": "02:5C:E1:CF:FF:FF"}, "ip": "10.10.10.11", "mask": "255.255.255.0", )"
    R"("gateway": "10.10.10.1", "dns1": "10.10.10.1", "dns2": "0.0.0.0"})";

struct Bench
{
    QTemporaryDir dir;
    std::vector<std::unique_ptr<SimulatedQuillon>> devices;
    QString plan = dir.filePath(QStringLiteral("plan.json"));
    QString ledger = dir.filePath(QStringLiteral("ledger.sqlite"));
    int failedRuns = 0;

    // One provisioning run over the first `ports` devices, set back to the factory numbers
    // first so that each needs new ones. Returns the run's wall time in milliseconds.
    double run(int ports)
    {
        QStringList arguments{QStringLiteral("quillonctl"), QStringLiteral("provision"),
                              QStringLiteral("--plan"),     plan,
                              QStringLiteral("--ledger"),   ledger};
        for (int i = 0; i < ports; ++i) {
            DeviceSettings factory;
            factory.mac = {0x02, 0x5C, 0xE1, 0xC0, 0x00, 0x00};
            devices[i]->setSettings(factory);
            arguments << QString::fromStdString(devices[i]->devicePath());
        }
        QString sink;
        QTextStream out(&sink);
        QTextStream err(&sink);
        const auto start = std::chrono::steady_clock::now();
        const int status = RunQuillonCtl(arguments, CtlOptions{}, out, err);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        if (status != 0) {
            ++failedRuns;
            std::fprintf(stderr, "%s", qPrintable(sink));
        }
        return ms;
    }
};

void PrintRow(const char *name, const Samples &s)
{
    std::printf("%-22s %9.2f %9.2f %9.2f\n", name, s.median(), s.min(), s.max());
}

} // namespace

int main(int argc, char *argv[])
{
    // As the paced benchmark does: Qt Serial Port's lock files on a private tmpfs, mounted
    // before any thread starts.
    const bool tmpfs = argc > 1 && std::strcmp(argv[1], "--tmpfs-lock-directory") == 0;
    const std::string failure = tmpfs ? MountPrivateTmpfsLockDirectory() : std::string();
    if (!failure.empty()) {
        std::printf("bench=provision lockdir=tmpfs skipped: %s\n", failure.c_str());
        return 0;
    }
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    Bench bench;
    QFile plan(bench.plan);
    if (!plan.open(QIODevice::WriteOnly) || plan.write(kPlan) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(bench.plan));
        return 1;
    }
    plan.close();
    QString made;
    QTextStream madeStream(&made);
    RunQuillonCtl({QStringLiteral("quillonctl"), QStringLiteral("ledger"), QStringLiteral("init"),
                   QStringLiteral("--plan"), bench.plan, QStringLiteral("--ledger"), bench.ledger},
                  CtlOptions{}, madeStream, madeStream);
    for (int i = 0; i < kPorts; ++i) {
        bench.devices.push_back(std::make_unique<SimulatedQuillon>());
        bench.devices.back()->setPacing(SimulatedQuillon::Pacing::LineRate);
    }

    for (int i = 0; i < kWarmUp; ++i) {
        bench.run(1);
        bench.run(kPorts);
    }
    Samples one;
    Samples all;
    // Interleaved, so that load from elsewhere falls on both alike.
    for (int i = 0; i < kRounds; ++i) {
        one.add(bench.run(1));
        all.add(bench.run(kPorts));
    }

    const double ratio = all.median() / one.median();
    std::printf("provision, %d rounds after %d warm-up, devices at 115200 baud on ptys\n", kRounds,
                kWarmUp);
    std::printf("%-22s %9s %9s %9s\n", "ms", "median", "min", "max");
    PrintRow("1 port", one);
    PrintRow("20 ports", all);
    std::printf("ratio of the medians   %9.3f   goal <= 1.3\n", ratio);
    std::printf("runs that did not end 0: %d\n", bench.failedRuns);
    std::printf("bench=provision lockdir=%s ports=%d one_port_ms=%.2f all_ports_ms=%.2f "
                "ratio=%.3f\n",
                tmpfs ? "tmpfs" : "machine", kPorts, one.median(), all.median(), ratio);
    return 0;
}
