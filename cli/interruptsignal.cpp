#include "cli/interruptsignal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace quillon {

namespace {

volatile std::sig_atomic_t gRaised = 0;
volatile std::sig_atomic_t gWriteFd = -1;

extern "C" void OnSigint(int)
{
    const int savedErrno = errno;
    gRaised = 1;
    const char byte = 'i';
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(gWriteFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

InterruptSignal::InterruptSignal(QObject *parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without the pipe, Ctrl+C keeps its default: the process ends at once.
        return;
    }
    readFd_ = fds[0];
    gWriteFd = fds[1];
    gRaised = 0;
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &InterruptSignal::onReadable);

    struct sigaction action = {};
    action.sa_handler = OnSigint;
    sigemptyset(&action.sa_mask);
    // Restarted system calls keep the serial layer's reads and writes unaware of the signal.
    action.sa_flags = SA_RESTART;
    installed_ = ::sigaction(SIGINT, &action, &previous_) == 0;
}

InterruptSignal::~InterruptSignal()
{
    if (installed_) {
        ::sigaction(SIGINT, &previous_, nullptr);
    }
    if (readFd_ >= 0) {
        delete notifier_;
        ::close(gWriteFd);
        gWriteFd = -1;
        ::close(readFd_);
    }
}

bool InterruptSignal::raised() const
{
    return gRaised != 0;
}

void InterruptSignal::onReadable()
{
    char buffer[16];
    while (::read(readFd_, buffer, sizeof buffer) > 0) {
    }
    emit interrupted();
}

} // namespace quillon
