#pragma once

#include <QObject>

class QSocketNotifier;

namespace quillon {

// Turns SIGINT (Ctrl+C), SIGTERM and SIGHUP into a Qt signal. The handlers are the process's
// from install() on, so a signal that arrives during start-up is kept until a command looks;
// a second signal ends the process at once. The handler only sets a flag and writes one byte
// to a pipe, which is all a signal handler may safely do; the event loop reads the pipe.
class InterruptSignal : public QObject
{
    Q_OBJECT
public:
    explicit InterruptSignal(QObject *parent = nullptr);
    InterruptSignal(const InterruptSignal &) = delete;
    InterruptSignal &operator=(const InterruptSignal &) = delete;

    // Installs the handlers once per process; later calls do nothing.
    static void install();

    // True once a signal has arrived, even while no event loop ran to report it.
    static bool raised();
    // 128 + the number of the first signal: 130 for Ctrl+C, 143 for SIGTERM, 129 for SIGHUP.
    static int exitStatus();

signals:
    void interrupted();

private:
    void onReadable();

    QSocketNotifier *notifier_ = nullptr;
};

} // namespace quillon
