// Start-up and memory: the tool's launcher against a baseline that shows the same form with no
// logic, run in turn, each timed from fork to exit with its peak resident memory from wait4.
// Both quit right after the first paint of their window, so the time is the process's whole
// life: loading, the toolkit's start, the port scan (the tool), the first paint and the exit.

#include "residentmemory.h"
#include "samples.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillon;

namespace {

constexpr int kRuns = 20;
constexpr char kToolLauncher[] = "quillon-bench-launch-tool";
constexpr char kBaselineLauncher[] = "quillon-bench-launch-baseline";

struct Run
{
    bool ok = false;
    double ms = 0;
    double peakMiB = 0;
};

Run Launch(const std::string &path)
{
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        // The launchers' toolkit warnings would only clutter the table.
        const int quiet = open("/dev/null", O_WRONLY);
        dup2(quiet, STDOUT_FILENO);
        dup2(quiet, STDERR_FILENO);
        execl(path.c_str(), path.c_str(), static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) {
        return {};
    }
    const auto end = std::chrono::steady_clock::now();
    return {WIFEXITED(status) && WEXITSTATUS(status) == 0,
            std::chrono::duration<double, std::milli>(end - start).count(),
            MiBFromKiB(usage.ru_maxrss)};
}

void PrintRow(const char *name, const Samples &s, const char *unit)
{
    std::printf("%-22s %-4s %9.2f %9.2f %9.2f\n", name, unit, s.median(), s.min(), s.max());
}

} // namespace

int main()
{
    const std::filesystem::path here =
        std::filesystem::read_symlink("/proc/self/exe").parent_path();
    const std::string tool = here / kToolLauncher;
    const std::string baseline = here / kBaselineLauncher;

    // One unmeasured run of each, so both start from a warm file cache.
    Launch(tool);
    Launch(baseline);

    Samples toolMs;
    Samples toolMiB;
    Samples baselineMs;
    Samples baselineMiB;
    int failed = 0;
    for (int i = 0; i < kRuns; ++i) {
        // Alternating, and each pair in swapped order, so neither gains from the other's load.
        const bool toolFirst = i % 2 == 0;
        for (int k = 0; k < 2; ++k) {
            const bool isTool = (k == 0) == toolFirst;
            const Run run = Launch(isTool ? tool : baseline);
            if (!run.ok) {
                ++failed;
                continue;
            }
            (isTool ? toolMs : baselineMs).add(run.ms);
            (isTool ? toolMiB : baselineMiB).add(run.peakMiB);
        }
    }

    const double ratio = toolMs.median() / baselineMs.median();
    const double memRatio = toolMiB.median() / baselineMiB.median();
    std::printf("Start to exit after the first paint, offscreen, %d runs each in turn\n", kRuns);
    std::printf("%-22s %-4s %9s %9s %9s\n", "", "", "median", "min", "max");
    PrintRow("tool", toolMs, "ms");
    PrintRow("baseline", baselineMs, "ms");
    PrintRow("tool peak resident", toolMiB, "MiB");
    PrintRow("baseline peak resident", baselineMiB, "MiB");
    std::printf("start-up ratio %.3f (goal <= 1.3), memory ratio %.3f (goal <= 1.2), %d runs "
                "failed\n",
                ratio, memRatio, failed);
    std::printf("bench=startup tool_ms=%.2f baseline_ms=%.2f ratio=%.3f tool_mib=%.2f "
                "baseline_mib=%.2f mem_ratio=%.3f\n",
                toolMs.median(), baselineMs.median(), ratio, toolMiB.median(), baselineMiB.median(),
                memRatio);
    return 0;
}
