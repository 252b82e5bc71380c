#include "simulatedquillon.h"

#include "pseudoterminal.h"
#include "replyshape.h"
#include "requestparser.h"
#include "wakesignal.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <mutex>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace quillon {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kReadChunk = 4096;
// Ten bits (start, eight data, stop) at 115200 baud.
constexpr long kLineRateByteNs = 86'800;
constexpr long kNsPerSecond = 1'000'000'000;
// The setup record's fields before its reserved bytes.
constexpr std::size_t kRecordFieldBytes = kSetupRecordSize - kReservedBytes;

Bytes ReadReply(const DeviceSettings &settings, const Bytes &reserved)
{
    Bytes record = SetupRecord(settings);
    std::copy(reserved.begin(), reserved.end(), record.begin() + kRecordFieldBytes);
    Bytes reply = BuildFrame(kReadLetter, record);
    // The tool leaves the reserved bytes out of its check, so whatever they hold the reply must
    // carry the checksum of the fields alone to be taken as good.
    std::uint32_t sum = static_cast<std::uint8_t>(kReadLetter) + kSetupRecordSize;
    for (std::size_t i = 0; i < kRecordFieldBytes; ++i) {
        sum += record[i];
    }
    reply[reply.size() - 2] = static_cast<std::uint8_t>(sum % 256);
    return reply;
}

DeviceSettings SettingsFromRecord(const Bytes &record)
{
    DeviceSettings settings;
    auto next = record.begin();
    std::uint32_t serial = 0;
    for (int i = 0; i < 4; ++i) {
        serial = serial << 8 | *next++;
    }
    settings.serialNumber = static_cast<std::int32_t>(serial);
    std::copy_n(next, settings.mac.size(), settings.mac.begin());
    next += static_cast<std::ptrdiff_t>(settings.mac.size());
    for (Address *address : {&settings.ipAddress, &settings.subnetMask, &settings.defaultGateway,
                             &settings.primaryDns, &settings.secondaryDns}) {
        std::copy_n(next, address->size(), address->begin());
        next += static_cast<std::ptrdiff_t>(address->size());
    }
    return settings;
}

timespec Now()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return now;
}

void Advance(timespec &time, long ns)
{
    time.tv_nsec += ns;
    time.tv_sec += time.tv_nsec / kNsPerSecond;
    time.tv_nsec %= kNsPerSecond;
}

} // namespace

struct SimulatedQuillon::Impl
{
    struct Pending
    {
        Request request;
        Clock::time_point due;
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
    Bytes rawQueue;
    std::uint64_t rawQueued = 0;
    std::uint64_t rawWritten = 0;
    bool stopping = false;
    bool unplugging = false;
    bool masterClosed = false;

    // The device's thread alone.
    RequestParser parser;
    std::deque<Pending> pending;
    std::thread thread;

    void run();
    bool writeQueuedRaw();
    void receive();
    bool answerDue();
    bool answer(const Request &request);
    bool transmit(const Bytes &bytes, Pacing pacing, std::chrono::microseconds gap);
    bool writeAll(const std::uint8_t *data, std::size_t size);
    bool waitGap(std::chrono::microseconds gap);
    bool stopRequested() const;
    int msUntilNextDue() const;
};

// Every wait below is a poll that includes the wake signal, so stop and unplug always end it.
// A false return means the thread is to stop.
void SimulatedQuillon::Impl::run()
{
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
    const bool written = writeAll(raw.data(), raw.size());
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
        const auto end = buffer.begin() + count;
        {
            std::lock_guard lock(mutex);
            received.insert(received.end(), buffer.begin(), end);
            changed.notify_all();
        }
        for (auto it = buffer.begin(); it != end; ++it) {
            if (auto request = parser.feed(*it)) {
                // One request at a time: a request behind a format waits for it to finish.
                Clock::time_point due = pending.empty() ? Clock::now() : pending.back().due;
                if (request->letter == kFormatLetter) {
                    std::lock_guard lock(mutex);
                    due += formatTime;
                }
                pending.push_back({std::move(*request), due});
            }
        }
    }
}

bool SimulatedQuillon::Impl::answerDue()
{
    while (!pending.empty() && pending.front().due <= Clock::now()) {
        const Request request = std::move(pending.front().request);
        pending.pop_front();
        if (!answer(request)) {
            return false;
        }
    }
    return true;
}

bool SimulatedQuillon::Impl::answer(const Request &request)
{
    Bytes line;
    Pacing replyPacing = Pacing::Burst;
    std::chrono::microseconds gap{0};
    {
        std::lock_guard lock(mutex);
        if (request.letter == kWriteLetter) {
            settings = SettingsFromRecord(request.payload);
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
    return transmit(line, replyPacing, gap);
}

bool SimulatedQuillon::Impl::transmit(const Bytes &bytes, Pacing replyPacing,
                                      std::chrono::microseconds gap)
{
    if (replyPacing == Pacing::Burst) {
        return writeAll(bytes.data(), bytes.size());
    }
    // Absolute deadlines, so the time each write takes does not add up over a reply.
    timespec deadline = Now();
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (replyPacing == Pacing::LineRate) {
            while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &deadline, nullptr) == EINTR) {
            }
            Advance(deadline, kLineRateByteNs);
            if (stopRequested()) {
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

bool SimulatedQuillon::Impl::writeAll(const std::uint8_t *data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = write(pty.masterFd(), data, size);
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
        std::array<pollfd, 2> fds{{{pty.masterFd(), POLLOUT, 0}, {wake.fd(), POLLIN, 0}}};
        if (poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) {
            return false;
        }
        if (fds[1].revents & POLLIN) {
            wake.clear();
            if (stopRequested()) {
                return false;
            }
        }
    }
    return true;
}

bool SimulatedQuillon::Impl::waitGap(std::chrono::microseconds gap)
{
    const auto end = Clock::now() + gap;
    for (auto left = gap; left.count() > 0;
         left = std::chrono::duration_cast<std::chrono::microseconds>(end - Clock::now())) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
        const timespec timeout{static_cast<time_t>(seconds.count()),
                               static_cast<long>((left - seconds).count() * 1000)};
        pollfd fd{wake.fd(), POLLIN, 0};
        if (ppoll(&fd, 1, &timeout, nullptr) > 0) {
            // Other reasons to wake (raw bytes to send) are the main loop's, after this reply.
            wake.clear();
            if (stopRequested()) {
                return false;
            }
        }
    }
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
