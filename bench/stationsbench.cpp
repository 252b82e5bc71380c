// A line of stations on one PostgreSQL ledger: four quillonctl provision processes of five
// simulated units each, all at once, against one station of five. The units answer at the real
// line rate from a process of their own, and the server is a throwaway one of the bench's, so
// the CPU time counted is the stations' alone (their processes, reaped, from RUSAGE_CHILDREN).
// Sharing the ledger costs each station its waits for the others' allocations; the goal is on
// CPU per unit, since on a 2-core machine the units themselves take much of the CPU and the
// wall-clock ratio mostly shows that.
#include "benchplan.h"
#include "postgresserver.h"
#include "samples.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

#include <sys/resource.h>

using namespace quillon;

namespace {

constexpr int kStations = 4;
constexpr int kPorts = 5;
constexpr int kWarmUp = 1;
constexpr int kRounds = 8;
constexpr int kWaitMs = 60000;

double ChildrenCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    const auto ms = [](const timeval &t) {
        return t.tv_sec * 1e3 + t.tv_usec / 1e3;
    };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}

struct Round
{
    double ms = 0;
    double cpuMsPerUnit = 0;
    bool ok = true;
};

class Line
{
public:
    Line() = default;
    ~Line()
    {
        units_.closeWriteChannel();
        units_.waitForFinished(kWaitMs);
    }
    Line(const Line &) = delete;
    Line &operator=(const Line &) = delete;

    bool start(const QString &ledger, const QString &plan)
    {
        ledger_ = ledger;
        plan_ = plan;
        units_.start(QStringLiteral(UNITS), {QString::number(kStations * kPorts)});
        while (units_.waitForReadyRead(kWaitMs)) {
            while (units_.canReadLine()) {
                const QString path = QString::fromLocal8Bit(units_.readLine()).trimmed();
                if (path.isEmpty()) {
                    return paths_.size() == kStations * kPorts;
                }
                paths_ << path;
            }
        }
        return false;
    }

    // `stations` provision processes at once, each on its own five units.
    Round run(int stations)
    {
        Round round;
        units_.write("reset\n");
        round.ok = units_.waitForReadyRead(kWaitMs) && units_.readLine().startsWith("ready");
        std::vector<std::unique_ptr<QProcess>> running;
        const double cpuBefore = ChildrenCpuMs();
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < stations; ++i) {
            running.push_back(std::make_unique<QProcess>());
            running.back()->start(QStringLiteral(QUILLONCTL),
                                  QStringList{QStringLiteral("provision"), QStringLiteral("--plan"),
                                              plan_, QStringLiteral("--ledger"), ledger_} +
                                      paths_.mid(i * kPorts, kPorts));
        }
        for (const auto &station : running) {
            round.ok = station->waitForFinished(kWaitMs) && station->exitCode() == 0 && round.ok;
        }
        round.ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
                .count();
        round.cpuMsPerUnit = (ChildrenCpuMs() - cpuBefore) / (stations * kPorts);
        return round;
    }

private:
    QProcess units_;
    QStringList paths_;
    QString ledger_;
    QString plan_;
};

void PrintRow(const char *name, const Samples &s)
{
    std::printf("%-26s %9.2f %9.2f %9.2f\n", name, s.median(), s.min(), s.max());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    test::PostgresServer server;
    if (!server.failure().isEmpty()) {
        std::printf("bench=stations skipped: %s\n", qPrintable(server.failure()));
        return 0;
    }
    QTemporaryDir dir;
    const QString plan = dir.filePath(QStringLiteral("plan.json"));
    QFile planFile(plan);
    if (!planFile.open(QIODevice::WriteOnly) || planFile.write(kBenchPlan) != kBenchPlan.size()) {
        std::printf("bench=stations skipped: cannot write %s\n", qPrintable(plan));
        return 0;
    }
    planFile.close();
    QProcess init;
    init.start(QStringLiteral(QUILLONCTL),
               {QStringLiteral("ledger"), QStringLiteral("init"), QStringLiteral("--plan"), plan,
                QStringLiteral("--ledger"), server.url()});
    Line line;
    if (!init.waitForFinished(kWaitMs) || init.exitCode() != 0 || !line.start(server.url(), plan)) {
        std::printf("bench=stations skipped: no ledger or no units: %s\n",
                    init.readAllStandardError().constData());
        return 0;
    }
    for (int i = 0; i < kWarmUp; ++i) {
        line.run(1);
        line.run(kStations);
    }
    Samples one;
    Samples all;
    Samples cpuOne;
    Samples cpuAll;
    int failed = 0;
    // Interleaved, so that load from elsewhere falls on both alike.
    for (int i = 0; i < kRounds; ++i) {
        for (const auto &[stations, wall, cpu] :
             {std::tuple{1, &one, &cpuOne}, std::tuple{kStations, &all, &cpuAll}}) {
            const Round round = line.run(stations);
            wall->add(round.ms);
            cpu->add(round.cpuMsPerUnit);
            failed += round.ok ? 0 : 1;
        }
    }
    const double ratio = all.median() / one.median();
    const double cpuRatio = cpuAll.median() / cpuOne.median();
    std::printf("stations on one PostgreSQL ledger, %d rounds after %d warm-up, %d units each at "
                "115200 baud in a process of their own\n",
                kRounds, kWarmUp, kPorts);
    std::printf("%-26s %9s %9s %9s\n", "ms", "median", "min", "max");
    PrintRow("1 station, wall", one);
    PrintRow("4 stations, wall", all);
    PrintRow("1 station, CPU per unit", cpuOne);
    PrintRow("4 stations, CPU per unit", cpuAll);
    std::printf("CPU per unit, 4 against 1 %9.3f   goal <= 1.2\n", cpuRatio);
    std::printf("runs that did not end 0: %d\n", failed);
    std::printf("bench=stations backend=postgresql stations=%d ports=%d one_station_ms=%.2f "
                "all_ms=%.2f ratio=%.3f cpu_ms_per_unit_one=%.3f cpu_ms_per_unit_all=%.3f\n",
                kStations, kPorts, one.median(), all.median(), ratio, cpuOne.median(),
                cpuAll.median());
    return 0;
}
