#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace quillon {

// Turns SIGINT (Ctrl+C) into a Qt signal for as long as the object lives, then gives the
// previous handling back. The handler only sets a flag and writes one byte to a pipe, which is
// all a signal handler may safely do; the event loop reads the pipe. One at a time per process.
class InterruptSignal : public QObject
{
    Q_OBJECT
public:
    explicit InterruptSignal(QObject *parent = nullptr);
    ~InterruptSignal() override;
    InterruptSignal(const InterruptSignal &) = delete;
    InterruptSignal &operator=(const InterruptSignal &) = delete;

    // True once SIGINT has arrived, even while no event loop ran to report it.
    bool raised() const;

signals:
    void interrupted();

private:
    void onReadable();

    int readFd_ = -1;
    QSocketNotifier *notifier_ = nullptr;
    struct sigaction previous_ = {};
    bool installed_ = false;
};

} // namespace quillon
