#pragma once

#include "sim/simulatedquillon.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class QEventLoop;
class QPushButton;

namespace quillon {

class main_frm;

// The real window on the offscreen platform, its COM3 mapped to a simulated Quillon that
// answers at once. Runs one exchange at a time from a real click on its command button and
// observes it from outside, without changing what the window does.
class ExchangeDriver : public QObject
{
    Q_OBJECT
public:
    enum class Kind { Read, Write, Format };

    struct Result
    {
        // The log holds the three lines of an exchange that ended "OK".
        bool ok = false;
        // From the click until the "CloseCom: " line is in the log and painted.
        double totalMs = 0;
        // The user-interface thread's CPU time over the same span.
        double totalCpuMs = 0;
        // From the first receive event of the reply until the window has painted what the
        // reply changed: wall time and the user-interface thread's CPU time.
        double replyWallMs = 0;
        double replyCpuMs = 0;
    };

    ExchangeDriver();
    ~ExchangeDriver() override;

    Result run(Kind kind);

    SimulatedQuillon &device() { return device_; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Stamp
    {
        std::chrono::steady_clock::time_point wall;
        double cpuMs = 0;
        static Stamp now();
    };

    void onCommEvent();
    void pickDevicePort();
    QPushButton *button(Kind kind) const;
    QString expectedLog(Kind kind) const;

    SimulatedQuillon device_;
    std::unique_ptr<main_frm> window_;
    QEventLoop *running_ = nullptr;
    std::optional<Stamp> firstByte_;
    std::optional<Stamp> end_;
};

} // namespace quillon
