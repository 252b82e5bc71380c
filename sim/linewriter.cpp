#include "sim/linewriter.h"

#include "sim/wakesignal.h"

#include <array>
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr long kNsPerSecond = 1'000'000'000;

// steady_clock is CLOCK_MONOTONIC on the systems the simulator runs on.
timespec MonotonicTime(std::chrono::steady_clock::time_point time)
{
    const auto ns =
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count();
    return {static_cast<time_t>(ns / kNsPerSecond), static_cast<long>(ns % kNsPerSecond)};
}

void Advance(timespec &time, long ns)
{
    time.tv_nsec += ns;
    time.tv_sec += time.tv_nsec / kNsPerSecond;
    time.tv_nsec %= kNsPerSecond;
}

} // namespace

LineWriter::LineWriter(int fd, WakeSignal &wake, std::function<bool()> stopRequested)
    : fd_(fd), wake_(wake), stopRequested_(std::move(stopRequested))
{
}

bool LineWriter::write(const Bytes &bytes, SimulatedQuillon::Pacing pacing,
                       std::chrono::microseconds gap,
                       std::chrono::steady_clock::time_point lineFree)
{
    using Pacing = SimulatedQuillon::Pacing;
    if (pacing == Pacing::Burst) {
        return writeAll(bytes.data(), bytes.size());
    }
    // Absolute deadlines, so the time each write takes does not add up over a reply. A byte is
    // written once its last bit would have arrived.
    timespec deadline = MonotonicTime(lineFree + kByteTime);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (pacing == Pacing::LineRate) {
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
            }
            Advance(deadline, kByteTime.count());
            if (stopRequested_()) {
                return false;
            }
        } else if (i > 0 && !waitGap(gap)) {
            return false;
        }
        if (!writeAll(&bytes[i], 1)) {
            return false;
        }
    }
    return true;
}

bool LineWriter::writeAll(const std::uint8_t *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written > 0) {
            data += written;
            size -= static_cast<std::size_t>(written);
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno != EAGAIN) {
            return false;
        }
        // The line is full because nobody reads it; wait for room, or for a reason to stop.
        std::array<pollfd, 2> fds{{{fd_, POLLOUT, 0}, {wake_.fd(), POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return false;
        }
        if ((fds[1].revents & POLLIN) && woken()) {
            return false;
        }
    }
    return true;
}

bool LineWriter::waitGap(std::chrono::microseconds gap)
{
    using namespace std::chrono;
    const auto end = steady_clock::now() + gap;
    for (auto left = gap; left.count() > 0;
         left = duration_cast<microseconds>(end - steady_clock::now())) {
        const auto seconds = duration_cast<std::chrono::seconds>(left);
        const timespec timeout{
            static_cast<time_t>(seconds.count()),
            static_cast<long>(duration_cast<nanoseconds>(left - seconds).count())};
        pollfd fd{wake_.fd(), POLLIN, 0};
        if (ppoll(&fd, 1, &timeout, nullptr) > 0 && woken()) {
            return false;
        }
    }
    return true;
}

bool LineWriter::woken()
{
    // Other reasons to wake (raw bytes to send) are the main loop's, which checks for them
    // after every reply whatever the signal says.
    wake_.clear();
    return stopRequested_();
}

} // namespace quillon
