#include "cli/interruptsignal.h"

#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr int kSignalExitBase = 128;
constexpr int kHandledSignals[] = {SIGINT, SIGTERM, SIGHUP};

volatile std::sig_atomic_t gSignal = 0;
int gReadFd = -1;
int gWriteFd = -1;

extern "C" void OnSignal(int number)
{
    if (gSignal != 0) {
        // The operator insists: no summary, no cleanup. Every ledger change is one
        // transaction, so the ledger stays consistent.
        ::_exit(kSignalExitBase + number);
    }
    const int savedErrno = errno;
    gSignal = number;
    const char byte = 'i';
    // A full pipe already holds a wake-up; losing this byte loses nothing.
    [[maybe_unused]] const ssize_t written = ::write(gWriteFd, &byte, 1);
    errno = savedErrno;
}

} // namespace

void InterruptSignal::install()
{
    if (gReadFd >= 0) {
        return;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without the pipe, the signals keep their default: the process ends at once.
        return;
    }
    gReadFd = fds[0];
    gWriteFd = fds[1];
    struct sigaction action = {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    // Restarted system calls keep the serial layer's reads and writes unaware of the signal.
    action.sa_flags = SA_RESTART;
    for (const int number : kHandledSignals) {
        ::sigaction(number, &action, nullptr);
    }
}

InterruptSignal::InterruptSignal(QObject *parent) : QObject(parent)
{
    install();
    if (gReadFd >= 0) {
        notifier_ = new QSocketNotifier(gReadFd, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &InterruptSignal::onReadable);
    }
}

bool InterruptSignal::raised()
{
    return gSignal != 0;
}

int InterruptSignal::exitStatus()
{
    return kSignalExitBase + (gSignal != 0 ? int(gSignal) : SIGINT);
}

void InterruptSignal::onReadable()
{
    char buffer[16];
    while (::read(gReadFd, buffer, sizeof buffer) > 0) {
    }
    emit interrupted();
}

} // namespace quillon
