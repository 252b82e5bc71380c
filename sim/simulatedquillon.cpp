#include "sim/simulatedquillon.h"

#include "sim/devicerecord.h"
#include "sim/linewriter.h"
#include "sim/pseudoterminal.h"
#include "sim/replyshape.h"
#include "sim/requestparser.h"
#include "sim/wakesignal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <sys/prctl.h>
#include <thread>
#include <unistd.h>

namespace quillon {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 4096;
// Start byte, letter, length, checksum and end byte around a payload.
constexpr std::size_t kFrameOverhead = kSetupFrameSize - kSetupRecordSize;

} // namespace

struct SimulatedQuillon::Impl
{
    struct Pending
    {
        Request request;
        Clock::time_point due;
        Clock::time_point arrived;  // the request's first byte
        Clock::time_point lineFree; // its last byte has crossed the line and any format is done
    };

    // Fixed for the device's life.
    PseudoTerminal pty;
    WakeSignal wake;

    // Shared with the public calls, under `mutex`; `changed` tells of new bytes, written raw
    // bytes and the closed master.
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    DeviceSettings settings;
    Bytes reserved = Bytes(kReservedBytes, 0);
    std::chrono::milliseconds formatTime{0};
    ReplyShape shape;
    Pacing pacing = Pacing::Burst;
    std::chrono::microseconds byteGap{0};
    Bytes received;
    int handled = 0;
    int repliesSent = 0;
    LineTimes lastTimes;
    Bytes rawQueue;
    std::uint64_t rawQueued = 0;
    std::uint64_t rawWritten = 0;
    bool stopping = false;
    bool unplugging = false;
    bool masterClosed = false;

    // The device's thread alone.
    LineWriter writer{pty.masterFd(), wake, std::bind_front(&Impl::stopRequested, this)};
    RequestParser parser;
    std::deque<Pending> pending;
    Clock::time_point frameArrived;
    std::thread thread;

    void run();
    bool writeQueuedRaw();
    void receive();
    bool answerDue();
    bool answer(const Pending &next);
    bool stopRequested() const;
    int msUntilNextDue() const;
};

// Every wait below is a poll that includes the wake signal, so stop and unplug always end it.
// A false return means the thread is to stop.
void SimulatedQuillon::Impl::run()
{
    // Paced bytes wake on time: the default slack of 50 microseconds is over half a byte time.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    while (writeQueuedRaw() && answerDue()) {
        std::array<pollfd, 2> fds{{{pty.masterFd(), POLLIN, 0}, {wake.fd(), POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), msUntilNextDue()) < 0 && errno != EINTR) {
            break;
        }
        if (fds[1].revents & POLLIN) {
            wake.clear();
        }
        if (fds[0].revents & POLLIN) {
            receive();
        }
    }
    pty.closeMaster();
    std::lock_guard lock(mutex);
    masterClosed = true;
    changed.notify_all();
}

bool SimulatedQuillon::Impl::writeQueuedRaw()
{
    Bytes raw;
    std::uint64_t sequence = 0;
    {
        std::lock_guard lock(mutex);
        if (stopping || unplugging) {
            return false;
        }
        raw.swap(rawQueue);
        sequence = rawQueued;
    }
    if (raw.empty()) {
        return true;
    }
    const bool written = writer.writeAll(raw.data(), raw.size());
    std::lock_guard lock(mutex);
    rawWritten = sequence;
    changed.notify_all();
    return written;
}

void SimulatedQuillon::Impl::receive()
{
    std::array<std::uint8_t, kReadChunk> buffer{};
    ssize_t count = 0;
    while ((count = read(pty.masterFd(), buffer.data(), buffer.size())) > 0) {
        // The host's write put these bytes on the line just now.
        const Clock::time_point now = Clock::now();
        const auto end = buffer.begin() + count;
        {
            std::lock_guard lock(mutex);
            received.insert(received.end(), buffer.begin(), end);
            changed.notify_all();
        }
        for (auto it = buffer.begin(); it != end; ++it) {
            if (parser.betweenFrames()) {
                frameArrived = now;
            }
            if (auto request = parser.feed(*it)) {
                // One request at a time: a request behind a format waits for it to finish.
                Clock::time_point due = pending.empty() ? now : pending.back().due;
                const auto onLine = static_cast<long>(request->payload.size() + kFrameOverhead) *
                                    LineWriter::kByteTime;
                Clock::time_point lineFree = std::max(due, frameArrived + onLine);
                if (request->letter == kFormatLetter) {
                    std::lock_guard lock(mutex);
                    due += formatTime;
                    lineFree += formatTime;
                }
                pending.push_back({std::move(*request), due, frameArrived, lineFree});
            }
        }
    }
}

bool SimulatedQuillon::Impl::answerDue()
{
    while (!pending.empty() && pending.front().due <= Clock::now()) {
        const Pending next = std::move(pending.front());
        pending.pop_front();
        if (!answer(next)) {
            return false;
        }
    }
    return true;
}

bool SimulatedQuillon::Impl::answer(const Pending &next)
{
    const Request &request = next.request;
    Bytes line;
    Pacing replyPacing = Pacing::Burst;
    std::chrono::microseconds gap{0};
    {
        std::lock_guard lock(mutex);
        if (request.letter == kWriteLetter && shape.fault == ReplyFault::IgnoreWrites) {
            ++handled;
            return true;
        }
        if (request.letter == kWriteLetter) {
            settings = SettingsFromRecord(request.payload);
            if (shape.fault == ReplyFault::AltersWrites) {
                ++settings.ipAddress[3];
            }
            reserved.assign(request.payload.begin() + kRecordFieldBytes, request.payload.end());
        }
        const Bytes reply = request.letter == kReadLetter ? ReadReply(settings, reserved)
                                                          : BuildFrame(request.letter);
        line = shape.apply(reply);
        replyPacing = pacing;
        gap = byteGap;
        // Counted before the first byte goes out, so a caller who sees the reply sees the count,
        // and a fault changed after the count no longer touches this reply.
        ++handled;
    }
    if (!writer.write(line, replyPacing, gap, next.lineFree)) {
        return false;
    }
    const Clock::time_point sent = Clock::now();
    std::lock_guard lock(mutex);
    ++repliesSent;
    lastTimes = {next.arrived, sent};
    changed.notify_all();
    return true;
}

bool SimulatedQuillon::Impl::stopRequested() const
{
    std::lock_guard lock(mutex);
    return stopping || unplugging;
}

int SimulatedQuillon::Impl::msUntilNextDue() const
{
    if (pending.empty()) {
        return -1;
    }
    // Rounded up, so the loop never wakes just before the deadline and spins on a 0 timeout.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(pending.front().due - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

SimulatedQuillon::SimulatedQuillon() : impl_(std::make_unique<Impl>())
{
    impl_->thread = std::thread([impl = impl_.get()] { impl->run(); });
}

SimulatedQuillon::~SimulatedQuillon()
{
    {
        std::lock_guard lock(impl_->mutex);
        impl_->stopping = true;
    }
    impl_->wake.raise();
    impl_->thread.join();
}

std::string SimulatedQuillon::devicePath() const
{
    return impl_->pty.devicePath();
}

DeviceSettings SimulatedQuillon::settings() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->settings;
}

void SimulatedQuillon::setSettings(const DeviceSettings &settings)
{
    std::lock_guard lock(impl_->mutex);
    impl_->settings = settings;
}

Bytes SimulatedQuillon::reservedBytes() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->reserved;
}

void SimulatedQuillon::setReservedBytes(const Bytes &reserved)
{
    std::lock_guard lock(impl_->mutex);
    impl_->reserved = reserved;
    impl_->reserved.resize(kReservedBytes, 0);
}

void SimulatedQuillon::setFormatTime(std::chrono::milliseconds duration)
{
    std::lock_guard lock(impl_->mutex);
    impl_->formatTime = duration;
}

void SimulatedQuillon::setReplyFault(ReplyFault fault)
{
    std::lock_guard lock(impl_->mutex);
    impl_->shape.fault = fault;
}

void SimulatedQuillon::setPacing(Pacing pacing, std::chrono::microseconds byteGap)
{
    std::lock_guard lock(impl_->mutex);
    impl_->pacing = pacing;
    impl_->byteGap = byteGap;
}

void SimulatedQuillon::setNoise(const Bytes &before, const Bytes &inside, std::size_t insideAt)
{
    std::lock_guard lock(impl_->mutex);
    impl_->shape.noiseBefore = before;
    impl_->shape.noiseInside = inside;
    impl_->shape.insideAt = insideAt;
}

Bytes SimulatedQuillon::received() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->received;
}

void SimulatedQuillon::clearReceived()
{
    std::lock_guard lock(impl_->mutex);
    impl_->received.clear();
}

bool SimulatedQuillon::waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout,
                                   [this, count] { return impl_->received.size() >= count; });
}

int SimulatedQuillon::requestsHandled() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->handled;
}

bool SimulatedQuillon::waitForRepliesSent(int count, std::chrono::milliseconds timeout) const
{
    std::unique_lock lock(impl_->mutex);
    return impl_->changed.wait_for(lock, timeout,
                                   [this, count] { return impl_->repliesSent >= count; });
}

SimulatedQuillon::LineTimes SimulatedQuillon::lastLineTimes() const
{
    std::lock_guard lock(impl_->mutex);
    return impl_->lastTimes;
}

bool SimulatedQuillon::useRealTimeScheduling()
{
    const sched_param lowest{sched_get_priority_min(SCHED_FIFO)};
    return pthread_setschedparam(impl_->thread.native_handle(), SCHED_FIFO, &lowest) == 0;
}

void SimulatedQuillon::sendRaw(const Bytes &bytes)
{
    std::unique_lock lock(impl_->mutex);
    if (impl_->masterClosed || impl_->unplugging || bytes.empty()) {
        return;
    }
    impl_->rawQueue.insert(impl_->rawQueue.end(), bytes.begin(), bytes.end());
    const std::uint64_t sequence = ++impl_->rawQueued;
    impl_->wake.raise();
    impl_->changed.wait(
        lock, [this, sequence] { return impl_->rawWritten >= sequence || impl_->masterClosed; });
}

void SimulatedQuillon::unplug()
{
    std::unique_lock lock(impl_->mutex);
    impl_->unplugging = true;
    impl_->wake.raise();
    impl_->changed.wait(lock, [this] { return impl_->masterClosed; });
}

} // namespace quillon
