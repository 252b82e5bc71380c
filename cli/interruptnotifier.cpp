#include "cli/interruptnotifier.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quillon {

namespace {

// The write end of the self-pipe; a signal handler may touch nothing else.
volatile sig_atomic_t g_writeFd = -1;

void OnSigint(int)
{
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a pending wake-up, so a lost byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(g_writeFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

InterruptNotifier::InterruptNotifier(QObject *parent) : QObject(parent)
{
    if (g_writeFd != -1 || ::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    g_writeFd = pipe_[1];
    struct sigaction action = {};
    action.sa_handler = OnSigint;
    sigemptyset(&action.sa_mask);
    // Restarted system calls keep a blocking call elsewhere from failing with EINTR.
    action.sa_flags = SA_RESTART;
    if (sigaction(SIGINT, &action, &previous_) != 0) {
        g_writeFd = -1;
        ::close(pipe_[0]);
        ::close(pipe_[1]);
        pipe_[0] = pipe_[1] = -1;
        return;
    }
    notifier_ = new QSocketNotifier(pipe_[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &InterruptNotifier::onReadable);
}

InterruptNotifier::~InterruptNotifier()
{
    if (!notifier_) {
        return;
    }
    sigaction(SIGINT, &previous_, nullptr);
    g_writeFd = -1;
    delete notifier_;
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void InterruptNotifier::onReadable()
{
    char buffer[64];
    while (::read(pipe_[0], buffer, sizeof buffer) > 0) {
    }
    emit interrupted();
}

} // namespace quillon
