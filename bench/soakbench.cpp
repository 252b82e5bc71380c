// Soak: reads, writes and formats in turn through the real window and its real click handlers,
// against a simulated Quillon that answers at once. Each format's warning box is answered from
// inside its own modal loop, so it runs the same code an operator's format runs. Resident memory
// is taken after the first 100 exchanges, once the caches of fonts, pictures and the box have
// filled, and at the end.

#include "exchangedriver.h"
#include "messagesonce.h"
#include "residentmemory.h"
#include "samples.h"

#include <QApplication>

#include <array>
#include <chrono>
#include <cstdio>

using namespace quillon;

namespace {

constexpr int kExchanges = 10000;
constexpr int kSettled = 100;
constexpr int kReportEvery = 1000;
constexpr std::array kKinds{ExchangeDriver::Kind::Read, ExchangeDriver::Kind::Write,
                            ExchangeDriver::Kind::Format};

} // namespace

int main(int argc, char *argv[])
{
    PrintEachMessageOnce();
    QApplication app(argc, argv);
    ExchangeDriver driver;

    const auto start = std::chrono::steady_clock::now();
    std::array<int, kKinds.size()> notOk{};
    std::array<Samples, kKinds.size()> times;
    double settledMiB = 0;
    std::printf("%10s %12s %8s\n", "exchanges", "resident MiB", "not OK");
    for (int i = 1; i <= kExchanges; ++i) {
        const std::size_t kind = static_cast<std::size_t>(i - 1) % kKinds.size();
        const ExchangeDriver::Result result = driver.run(kKinds[kind]);
        if (result.ok) {
            times[kind].add(result.totalMs);
        } else {
            ++notOk[kind];
        }
        if (i == kSettled || i % kReportEvery == 0) {
            const double mib = ResidentMiB();
            if (i == kSettled) {
                settledMiB = mib;
            }
            std::printf("%10d %12.2f %8d\n", i, mib, notOk[0] + notOk[1] + notOk[2]);
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double growth = ResidentMiB() - settledMiB;
    const int lost = notOk[0] + notOk[1] + notOk[2];

    const std::array<const char *, kKinds.size()> names{"read", "write", "format"};
    std::printf("\n%-8s %8s %8s %14s\n", "kind", "count", "not OK", "median ms");
    for (std::size_t k = 0; k < kKinds.size(); ++k) {
        std::printf("%-8s %8zu %8d %14.3f\n", names[k], times[k].size() + notOk[k], notOk[k],
                    times[k].median());
    }
    std::printf("resident growth after the first %d: %.2f MiB (goal <= 1), %.1f s in all\n",
                kSettled, growth, seconds);
    std::printf("bench=soak exchanges=%d not_ok=%d rss_growth_mib=%.2f\n", kExchanges, lost,
                growth);
    return 0;
}
