// `quillonctl read PATH --json` as a script runs it, a whole process from start to exit, against
// a short pyserial script of the same read (pyserial_read.py beside this file), interleaved on
// one simulated Quillon paced at 115200 baud. Both print the same JSON, and every pair is
// compared, so neither does less than the other.

#include "samples.h"
#include "sim/simulatedquillon.h"

#include <chrono>
#include <cstdio>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

using namespace quillon;

namespace {

constexpr int kWarmUp = 3;
constexpr int kRounds = 40;
// Debian's own interpreter, the one python3-serial installs for; never a wrapper found on PATH.
constexpr char kPython[] = "/usr/bin/python3";

const DeviceSettings kDeviceSettings{12345678,         {0x02, 0x5C, 0xE1, 0xC0, 0x00, 0x01},
                                     {10, 10, 10, 11}, {255, 255, 255, 0},
                                     {10, 10, 10, 1},  {10, 10, 10, 1},
                                     {0, 0, 0, 0}};

struct Run
{
    double ms = 0;
    // What the program printed, if it ended with status 0.
    std::optional<std::string> out;
};

// Starts the program, reads all it prints and waits for its exit.
Run RunProgram(std::vector<std::string> arguments)
{
    std::vector<char *> argv;
    for (std::string &argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    int out[2];
    if (pipe(out) != 0) {
        return {};
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    std::string printed;
    char buffer[512];
    ssize_t n = 0;
    while ((n = read(out[0], buffer, sizeof buffer)) > 0) {
        printed.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    if (spawned != 0 || waitpid(pid, &status, 0) != pid) {
        return {};
    }
    Run run;
    run.ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        run.out = printed;
    }
    return run;
}

void PrintRow(const char *name, const Samples &s)
{
    std::printf("%-34s %8.2f %8.2f %8.2f\n", name, s.median(), s.min(), s.max());
}

} // namespace

int main()
{
    SimulatedQuillon device;
    device.setSettings(kDeviceSettings);
    device.setPacing(SimulatedQuillon::Pacing::LineRate);
    const bool realTime = device.useRealTimeScheduling();
    const std::string path = device.devicePath();
    const std::vector<std::string> tool{QUILLON_CTL_PROGRAM, "read", path, "--json"};
    const std::vector<std::string> peer{kPython, QUILLON_PEER_SCRIPT, path};

    const Run probe = RunProgram(peer);
    if (!probe.out) {
        std::printf("bench=cli-read skipped: %s did not read the device (python3-serial "
                    "missing?)\n",
                    QUILLON_PEER_SCRIPT);
        return 0;
    }
    Samples toolMs;
    Samples peerMs;
    int failed = 0;
    int differing = 0;
    for (int i = 0; i < kWarmUp + kRounds; ++i) {
        // Interleaved, in swapped order every other round, so load falls on both alike.
        const bool toolFirst = i % 2 == 0;
        const Run first = RunProgram(toolFirst ? tool : peer);
        const Run second = RunProgram(toolFirst ? peer : tool);
        const Run &toolRun = toolFirst ? first : second;
        const Run &peerRun = toolFirst ? second : first;
        if (i < kWarmUp) {
            continue;
        }
        if (!toolRun.out || !peerRun.out) {
            ++failed;
            continue;
        }
        differing += *toolRun.out != *peerRun.out ? 1 : 0;
        toolMs.add(toolRun.ms);
        peerMs.add(peerRun.ms);
    }

    const double ratio = toolMs.median() / peerMs.median();
    std::printf("read --json as a whole process, %d rounds after %d warm-up, device at 115200 "
                "baud on a pty, its thread %s\n",
                kRounds, kWarmUp, realTime ? "real-time" : "normal (real-time class refused)");
    std::printf("%-34s %8s %8s %8s\n", "ms", "median", "min", "max");
    PrintRow("quillonctl read PATH --json", toolMs);
    PrintRow("python3 pyserial_read.py PATH", peerMs);
    std::printf("ratio of the medians %.3f, goal <= 0.55; runs failed: %d; outputs differing: %d\n",
                ratio, failed, differing);
    std::printf("bench=cli-read tool_ms=%.2f peer_ms=%.2f ratio=%.3f\n", toolMs.median(),
                peerMs.median(), ratio);
    return 0;
}
