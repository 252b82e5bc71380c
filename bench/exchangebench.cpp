// Exchange overhead: Read Setup through the real window against a simulated Quillon that answers
// at once, beside a plain POSIX client doing the same exchange on the same pseudo-terminal.
//
// The tool's time runs from the click on Read Setup to the end of LeaveBusy's first step, which
// follows CloseCom's painted log line. The reply's user-interface time runs from the first
// receive event (the reply arrives in one burst, so all 105 bytes go through MSComm1_OnComm in
// one delivery: parser, box updates, end path, log repaints) until the window has painted what
// the end path left behind. Its CPU time on the user-interface thread is the figure that counts,
// since on a shared machine the wall time also holds the time other processes ran.

#include "exchangedriver.h"
#include "messagesonce.h"
#include "rawclient.h"
#include "samples.h"

#include <QApplication>

#include <array>
#include <cstdint>
#include <cstdio>

using namespace quillon;

namespace {

constexpr int kWarmUp = 100;
constexpr int kExchanges = 1000;

void PrintRow(const char *name, const Samples &s)
{
    std::printf("%-34s %9.3f %9.3f %9.3f %9.3f\n", name, s.median(), s.percentile(99), s.min(),
                s.max());
}

} // namespace

int main(int argc, char *argv[])
{
    PrintEachMessageOnce();
    QApplication app(argc, argv);
    ExchangeDriver driver;
    RawClient raw(driver.device().devicePath());

    for (int i = 0; i < kWarmUp; ++i) {
        driver.run(ExchangeDriver::Kind::Read);
        raw.exchange(kReadRequest, kReadReplyBytes, kRawTimeout);
    }

    Samples tool;
    Samples toolCpu;
    Samples floor;
    Samples replyCpu;
    Samples replyWall;
    int notOk = 0;
    int rawFailed = 0;
    // Interleaved, so that load from elsewhere falls on both alike.
    for (int i = 0; i < kExchanges; ++i) {
        const ExchangeDriver::Result result = driver.run(ExchangeDriver::Kind::Read);
        if (!result.ok) {
            ++notOk;
            continue;
        }
        tool.add(result.totalMs);
        toolCpu.add(result.totalCpuMs);
        replyCpu.add(result.replyCpuMs);
        replyWall.add(result.replyWallMs);

        const auto start = std::chrono::steady_clock::now();
        if (!raw.exchange(kReadRequest, kReadReplyBytes, kRawTimeout)) {
            ++rawFailed;
            continue;
        }
        floor.add(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count());
    }

    const double overhead = tool.median() - floor.median();
    std::printf("Read Setup exchanges, %d after %d warm-up, reply in one burst over a pty\n",
                kExchanges, kWarmUp);
    std::printf("%-34s %9s %9s %9s %9s\n", "ms", "median", "p99", "min", "max");
    PrintRow("tool: click to CloseCom line", tool);
    PrintRow("tool: the same on UI thread (CPU)", toolCpu);
    PrintRow("floor: raw POSIX client", floor);
    PrintRow("reply on UI thread (CPU)", replyCpu);
    PrintRow("reply on UI thread (wall)", replyWall);
    std::printf("overhead (difference of medians)   %9.3f   goal <= 0.5\n", overhead);
    std::printf("reply UI time (CPU median)         %9.3f   goal <= 1.0\n", replyCpu.median());
    std::printf("exchange on a real 115200 baud line %8.3f\n", kLineExchangeMs);
    std::printf("tool exchanges not OK: %d, raw exchanges failed: %d\n", notOk, rawFailed);
    std::printf("bench=exchange tool_median_ms=%.3f floor_median_ms=%.3f overhead_ms=%.3f "
                "reply_ui_ms=%.3f\n",
                tool.median(), floor.median(), overhead, replyCpu.median());
    return 0;
}
