#include "sim/wakesignal.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

namespace quillon {

WakeSignal::WakeSignal() : fd_(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
    if (fd_ < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

WakeSignal::~WakeSignal()
{
    close(fd_);
}

void WakeSignal::raise()
{
    const std::uint64_t one = 1;
    // A full counter (EAGAIN) is still raised, so there is nothing to handle.
    [[maybe_unused]] const ssize_t written = write(fd_, &one, sizeof one);
}

void WakeSignal::clear()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t drained = read(fd_, &count, sizeof count);
}

} // namespace quillon
