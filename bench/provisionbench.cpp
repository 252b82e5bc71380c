// Provisioning in parallel: quillonctl provision against 20 simulated Quillons, each on its own
// pseudo-terminal and answering at the real line rate, beside the same run with one of them.
// The wire sets the pace of one device (two 105-byte replies at 86.8 us a byte, about 18 ms);
// what the 20 add on top of that is the tool's own cost on its one event loop: the ports'
// opens and closes, the receive handling and the ledger's commits.
//
// The simulated devices run in a child process of their own, so that the tool's CPU time per
// unit (`tool_cpu_ms_per_unit`, from the 20-port runs) counts this process alone.

#include "benchplan.h"
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
#include <ctime>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quillon;

namespace {

constexpr int kPorts = 20;
constexpr int kWarmUp = 2;
constexpr int kRounds = 15;

// The simulated devices in a child process, which sets the first n of them back to the factory
// numbers on request. Forked before this process starts any thread.
class DeviceProcess
{
public:
    DeviceProcess()
    {
        int requests[2];
        int replies[2];
        if (pipe(requests) != 0 || pipe(replies) != 0) {
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            close(requests[1]);
            close(replies[0]);
            Serve(requests[0], replies[1]);
            _exit(0);
        }
        close(requests[0]);
        close(replies[1]);
        requests_ = requests[1];
        replies_ = replies[0];
        // The device paths, one a line, then an empty line.
        std::string line;
        char c = 0;
        while (read(replies_, &c, 1) == 1) {
            if (c != '\n') {
                line += c;
            } else if (line.empty()) {
                break;
            } else {
                paths_.push_back(QString::fromStdString(line));
                line.clear();
            }
        }
    }

    ~DeviceProcess()
    {
        close(requests_);
        close(replies_);
        if (pid_ > 0) {
            waitpid(pid_, nullptr, 0);
        }
    }

    const QStringList &paths() const { return paths_; }

    // False when the child has gone.
    bool resetFirst(int count)
    {
        const char n = static_cast<char>(count);
        char done = 0;
        return write(requests_, &n, 1) == 1 && read(replies_, &done, 1) == 1;
    }

private:
    static void Serve(int requests, int replies)
    {
        std::vector<std::unique_ptr<SimulatedQuillon>> devices;
        std::string paths;
        for (int i = 0; i < kPorts; ++i) {
            devices.push_back(std::make_unique<SimulatedQuillon>());
            devices.back()->setPacing(SimulatedQuillon::Pacing::LineRate);
            paths += devices.back()->devicePath() + '\n';
        }
        paths += '\n';
        if (write(replies, paths.data(), paths.size()) != static_cast<ssize_t>(paths.size())) {
            return;
        }
        char count = 0;
        while (read(requests, &count, 1) == 1) {
            DeviceSettings factory;
            factory.mac = {0x02, 0x5C, 0xE1, 0xC0, 0x00, 0x00};
            for (int i = 0; i < count && i < kPorts; ++i) {
                devices[i]->setSettings(factory);
            }
            if (write(replies, &count, 1) != 1) {
                return;
            }
        }
    }

    pid_t pid_ = -1;
    int requests_ = -1;
    int replies_ = -1;
    QStringList paths_;
};

double ProcessCpuMs()
{
    timespec cpu{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
    return static_cast<double>(cpu.tv_sec) * 1e3 + static_cast<double>(cpu.tv_nsec) / 1e6;
}

struct Bench
{
    explicit Bench(DeviceProcess &devices) : devices(devices) {}

    DeviceProcess &devices;
    QTemporaryDir dir;
    QString plan = dir.filePath(QStringLiteral("plan.json"));
    QString ledger = dir.filePath(QStringLiteral("ledger.sqlite"));
    int failedRuns = 0;

    struct Run
    {
        double ms = 0;
        double cpuMs = 0; // this process's, all its threads
    };

    // One provisioning run over the first `ports` devices, set back to the factory numbers
    // first so that each needs new ones.
    Run run(int ports)
    {
        QStringList arguments{QStringLiteral("quillonctl"), QStringLiteral("provision"),
                              QStringLiteral("--plan"),     plan,
                              QStringLiteral("--ledger"),   ledger};
        arguments << devices.paths().mid(0, ports);
        if (!devices.resetFirst(ports)) {
            ++failedRuns;
            return {};
        }
        QString sink;
        QTextStream out(&sink);
        QTextStream err(&sink);
        const double cpuBefore = ProcessCpuMs();
        const auto start = std::chrono::steady_clock::now();
        const int status = RunQuillonCtl(arguments, CtlOptions{}, out, err);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        const double cpuMs = ProcessCpuMs() - cpuBefore;
        if (status != 0) {
            ++failedRuns;
            std::fprintf(stderr, "%s", qPrintable(sink));
        }
        return {ms, cpuMs};
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
    DeviceProcess devices;
    if (devices.paths().size() != kPorts) {
        std::printf("bench=provision skipped: the simulated devices did not start\n");
        return 0;
    }
    int qtArgc = 1;
    QCoreApplication app(qtArgc, argv);
    Bench bench(devices);
    QFile plan(bench.plan);
    if (!plan.open(QIODevice::WriteOnly) || plan.write(kBenchPlan) < 0) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(bench.plan));
        return 1;
    }
    plan.close();
    QString made;
    QTextStream madeStream(&made);
    RunQuillonCtl({QStringLiteral("quillonctl"), QStringLiteral("ledger"), QStringLiteral("init"),
                   QStringLiteral("--plan"), bench.plan, QStringLiteral("--ledger"), bench.ledger},
                  CtlOptions{}, madeStream, madeStream);

    for (int i = 0; i < kWarmUp; ++i) {
        bench.run(1);
        bench.run(kPorts);
    }
    Samples one;
    Samples all;
    Samples cpuPerUnit;
    // Interleaved, so that load from elsewhere falls on both alike.
    for (int i = 0; i < kRounds; ++i) {
        one.add(bench.run(1).ms);
        const Bench::Run run = bench.run(kPorts);
        all.add(run.ms);
        cpuPerUnit.add(run.cpuMs / kPorts);
    }

    const double ratio = all.median() / one.median();
    std::printf("provision, %d rounds after %d warm-up, devices at 115200 baud on ptys, in a "
                "process of their own\n",
                kRounds, kWarmUp);
    std::printf("%-22s %9s %9s %9s\n", "ms", "median", "min", "max");
    PrintRow("1 port", one);
    PrintRow("20 ports", all);
    PrintRow("tool CPU per unit", cpuPerUnit);
    std::printf("ratio of the medians   %9.3f   goal <= 1.3\n", ratio);
    std::printf("runs that did not end 0: %d\n", bench.failedRuns);
    std::printf("bench=provision lockdir=%s ports=%d one_port_ms=%.2f all_ports_ms=%.2f "
                "ratio=%.3f tool_cpu_ms_per_unit=%.3f\n",
                tmpfs ? "tmpfs" : "machine", kPorts, one.median(), all.median(), ratio,
                cpuPerUnit.median());
    return 0;
}
