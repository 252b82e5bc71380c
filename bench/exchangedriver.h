#pragma once

#include "sim/simulatedquillon.h"

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>

class QEventLoop;
class QPushButton;
class QWidget;

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
    // Sent: the click is handled inside run()'s call, as QTest does it. Posted: what the last
    // exchange left queued is handled first, as a running window does before the operator's next
    // click; then press and release wait in the event queue like an operator's click.
    enum class Click { Sent, Posted };

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
        // When the click was sent or posted, and when the status label had painted the log with
        // its "CloseCom: " line.
        std::chrono::steady_clock::time_point clicked;
        std::optional<std::chrono::steady_clock::time_point> closePainted;
    };

    ExchangeDriver();
    ~ExchangeDriver() override;

    Result run(Kind kind, Click click = Click::Sent);

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
    // Paints the label itself, so the stamp falls after the paint rather than before it.
    bool stampClosePaint(QObject *label, QEvent *paint);
    void postClick(QPushButton *target);
    void pickDevicePort();
    QPushButton *button(Kind kind) const;
    QString expectedLog(Kind kind) const;

    SimulatedQuillon device_;
    std::unique_ptr<main_frm> window_;
    QEventLoop *running_ = nullptr;
    std::optional<Stamp> firstByte_;
    std::optional<Stamp> end_;
    std::optional<std::chrono::steady_clock::time_point> closePainted_;
    QWidget *status_ = nullptr;
};

} // namespace quillon
