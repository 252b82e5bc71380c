// The exchange as an operator feels it on a real line: Read Setup through the real window with a
// posted click, against a simulated Quillon that paces the line at 115200 baud (the request's 5
// byte times, then one reply byte every 86.8 microseconds, from the host's write), interleaved
// with a plain POSIX client on the same paced device.
//
// The tool's time runs from posting the click to the moment the status label has painted the log
// with its "CloseCom: " line. A cold run follows: each click after a second of idle, as an
// operator's, when caches and the scheduler have moved on to other work. The wire alone takes 110
// byte times, 9.549 ms; `ratio` is the tool's median (and p99) over that floor. Run as root, the
// program runs once more in a mount namespace of its own with a tmpfs over the serial lock
// directory (the host's mounts are never touched), since Qt Serial Port creates, writes and syncs a
// lock file on every open.

#include "exchangedriver.h"
#include "messagesonce.h"
#include "privatelockdir.h"
#include "rawclient.h"
#include "samples.h"

#include <QApplication>
#include <QEventLoop>
#include <QTimer>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

using namespace quillon;
using namespace std::chrono_literals;

namespace {

constexpr int kWarmUp = 20;
constexpr int kExchanges = 400;
// Few, since each costs a second of idle.
constexpr int kColdExchanges = 20;
constexpr std::chrono::milliseconds kColdIdle{1000};
constexpr char kTmpfsArgument[] = "--tmpfs-lock-directory";

double Ms(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

void PrintRow(const char *name, const Samples &s)
{
    std::printf("%-40s %8.3f %8.3f %8.3f %8.3f\n", name, s.median(), s.percentile(99), s.min(),
                s.max());
}

struct ToolFigures
{
    Samples total;
    Samples toRequest;  // posted click to the request's arrival at the device
    Samples afterReply; // last reply byte sent to "CloseCom: " painted
};

struct Figures
{
    ToolFigures warm;
    ToolFigures cold;
    Samples raw;
    int failed = 0;
};

void RunTool(ExchangeDriver &driver, Figures &figures, bool measured, ToolFigures &tool)
{
    const int sentBefore = driver.device().requestsHandled();
    const ExchangeDriver::Result result =
        driver.run(ExchangeDriver::Kind::Read, ExchangeDriver::Click::Posted);
    if (!measured) {
        return;
    }
    if (!result.ok || !result.closePainted ||
        !driver.device().waitForRepliesSent(sentBefore + 1, kRawTimeout)) {
        ++figures.failed;
        return;
    }
    const SimulatedQuillon::LineTimes line = driver.device().lastLineTimes();
    tool.total.add(Ms(*result.closePainted - result.clicked));
    tool.toRequest.add(Ms(line.requestArrived - result.clicked));
    tool.afterReply.add(Ms(*result.closePainted - line.replySent));
}

// The event loop idles as it would between an operator's clicks.
void Idle(std::chrono::milliseconds span)
{
    QEventLoop loop;
    QTimer::singleShot(span, &loop, &QEventLoop::quit);
    loop.exec();
}

void RunRaw(RawClient &raw, Figures &figures, bool measured)
{
    const auto start = std::chrono::steady_clock::now();
    const bool ok = raw.exchange(kReadRequest, kReadReplyBytes, kRawTimeout);
    if (!measured) {
        return;
    }
    if (!ok) {
        ++figures.failed;
        return;
    }
    figures.raw.add(Ms(std::chrono::steady_clock::now() - start));
}

int Measure(int argc, char *argv[], const char *lockdir)
{
    PrintEachMessageOnce();
    QApplication app(argc, argv);
    ExchangeDriver driver;
    driver.device().setPacing(SimulatedQuillon::Pacing::LineRate);
    const bool realTime = driver.device().useRealTimeScheduling();
    RawClient raw(driver.device().devicePath());

    Figures figures;
    for (int i = 0; i < kWarmUp + kExchanges; ++i) {
        const bool measured = i >= kWarmUp;
        // Interleaved, and in swapped order every other time, so load falls on both alike.
        if (i % 2 == 0) {
            RunTool(driver, figures, measured, figures.warm);
            RunRaw(raw, figures, measured);
        } else {
            RunRaw(raw, figures, measured);
            RunTool(driver, figures, measured, figures.warm);
        }
    }
    for (int i = 0; i < kColdExchanges; ++i) {
        Idle(kColdIdle);
        RunTool(driver, figures, true, figures.cold);
    }

    const double ratio = figures.warm.total.median() / kLineExchangeMs;
    const double ratioP99 = figures.warm.total.percentile(99) / kLineExchangeMs;
    const double coldRatio = figures.cold.total.median() / kLineExchangeMs;
    std::printf("Read Setup at 115200 baud, lock directory %s (%s), %d exchanges each after %d "
                "warm-up; device thread %s\n",
                lockdir, SerialLockDirectory().c_str(), kExchanges, kWarmUp,
                realTime ? "real-time" : "normal (real-time class refused)");
    std::printf("%-40s %8s %8s %8s %8s\n", "ms", "median", "p99", "min", "max");
    PrintRow("tool: click posted to CloseCom painted", figures.warm.total);
    PrintRow("raw POSIX client", figures.raw);
    PrintRow("tool: click posted to request at device", figures.warm.toRequest);
    PrintRow("tool: last reply byte to CloseCom painted", figures.warm.afterReply);
    std::printf("cold: %d exchanges, each after %lld ms of idle\n", kColdExchanges,
                static_cast<long long>(kColdIdle.count()));
    PrintRow("cold: click posted to CloseCom painted", figures.cold.total);
    PrintRow("cold: click posted to request at device", figures.cold.toRequest);
    PrintRow("cold: last reply byte to CloseCom painted", figures.cold.afterReply);
    std::printf("wire floor %.3f ms; exchanges failed: %d\n", kLineExchangeMs, figures.failed);
    std::printf("bench=paced lockdir=%s floor_ms=%.3f tool_median_ms=%.3f tool_p99_ms=%.3f "
                "raw_median_ms=%.3f ratio=%.3f ratio_p99=%.3f cold_median_ms=%.3f "
                "cold_ratio=%.3f\n",
                lockdir, kLineExchangeMs, figures.warm.total.median(),
                figures.warm.total.percentile(99), figures.raw.median(), ratio, ratioP99,
                figures.cold.total.median(), coldRatio);
    std::fflush(stdout);
    return 0;
}

// The same program again, in a mount namespace of its own.
void RunWithTmpfsLockDirectory()
{
    const pid_t pid = fork();
    if (pid == 0) {
        execl("/proc/self/exe", "quillon-bench-paced", kTmpfsArgument,
              static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    if (pid > 0) {
        waitpid(pid, &status, 0);
    }
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc > 1 && std::strcmp(argv[1], kTmpfsArgument) == 0) {
        // Before Qt or the device start any thread.
        const std::string failure = MountPrivateTmpfsLockDirectory();
        if (!failure.empty()) {
            std::printf("bench=paced lockdir=tmpfs skipped: %s\n", failure.c_str());
            return 0;
        }
        int qtArgc = 1;
        return Measure(qtArgc, argv, "tmpfs");
    }
    int qtArgc = argc;
    Measure(qtArgc, argv, "machine");
    if (geteuid() == 0) {
        RunWithTmpfsLockDirectory();
    } else {
        std::printf("bench=paced lockdir=tmpfs skipped: needs root for a private mount\n");
    }
    return 0;
}
