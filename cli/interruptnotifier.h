#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

namespace quillon {

// Turns SIGINT into a Qt signal on the event loop's thread, so that Ctrl+C can end running
// exchanges cleanly instead of killing the process in the middle of one. While one exists,
// SIGINT no longer ends the process; destroying it restores the handling it replaced. One at a
// time per process.
class InterruptNotifier : public QObject
{
    Q_OBJECT
public:
    explicit InterruptNotifier(QObject *parent = nullptr);
    ~InterruptNotifier() override;
    InterruptNotifier(const InterruptNotifier &) = delete;
    InterruptNotifier &operator=(const InterruptNotifier &) = delete;

    // False when the handler could not be installed; SIGINT then keeps its old handling.
    bool isActive() const { return notifier_ != nullptr; }

signals:
    void interrupted();

private:
    void onReadable();

    int pipe_[2] = {-1, -1};
    QSocketNotifier *notifier_ = nullptr;
    struct sigaction previous_ = {};
};

} // namespace quillon
