#pragma once

#include "protocol/devicesettings.h"
#include "protocol/setupframe.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace quillon {

// A Quillon on the master side of a pseudo-terminal it creates. It answers "R", "W" and "F"
// requests with good checksums, ignores anything else, and records every byte it receives.
// It runs on a thread of its own; every public call is thread-safe.
class SimulatedQuillon
{
public:
    enum class ReplyFault {
        None,
        NoReply,       // receives and records, never answers
        WrongChecksum, // the checksum byte of every reply is off by one
        CutShort,      // the last two bytes of every reply are never sent
        SendTwice,     // every reply is sent twice in one burst
        IgnoreWrites,  // answers reads; a write is received but neither stored nor answered
        AltersWrites,  // acknowledges a write but stores its IP address's last octet plus one
    };
    enum class Pacing {
        Burst,    // a whole reply in one write
        ByteGaps, // one byte per write with byteGap between them
        // The real line at 115200 baud: the request takes one byte time (86.8 microseconds)
        // per byte from its arrival, then the reply comes one byte per byte time.
        LineRate,
    };
    // When a request's first byte arrived and when the last byte of its reply went out.
    struct LineTimes
    {
        std::chrono::steady_clock::time_point requestArrived;
        std::chrono::steady_clock::time_point replySent;
    };

    SimulatedQuillon();
    ~SimulatedQuillon();
    SimulatedQuillon(const SimulatedQuillon &) = delete;
    SimulatedQuillon &operator=(const SimulatedQuillon &) = delete;

    // The device side of the pseudo-terminal ("/dev/pts/7"), what the tool opens.
    std::string devicePath() const;

    DeviceSettings settings() const;
    void setSettings(const DeviceSettings &settings);
    // The 70 reserved bytes of the stored record (0 when made); a write stores them as sent.
    // A shorter set is padded with 0, a longer one cut.
    Bytes reservedBytes() const;
    void setReservedBytes(const Bytes &reserved);

    void setFormatTime(std::chrono::milliseconds duration);
    void setReplyFault(ReplyFault fault);
    void setPacing(Pacing pacing,
                   std::chrono::microseconds byteGap = std::chrono::microseconds(500));
    // Bytes sent before every reply, and bytes inserted after the reply's first `insideAt` bytes.
    void setNoise(const Bytes &before, const Bytes &inside = {}, std::size_t insideAt = 0);

    // Every byte received since start or the last clearReceived().
    Bytes received() const;
    void clearReceived();
    // Waits until at least `count` bytes have been received, or the timeout runs out.
    bool waitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;
    // Number of well-formed requests answered (or, with NoReply, accepted) so far.
    int requestsHandled() const;
    // Waits until the last byte of `count` replies has gone out; then lastLineTimes() tells
    // those of the last one.
    bool waitForRepliesSent(int count, std::chrono::milliseconds timeout) const;
    LineTimes lastLineTimes() const;

    // Moves the device's thread into a real-time scheduling class, so that its line keeps pace
    // on a busy machine. False where the system refuses it.
    bool useRealTimeScheduling();

    // Writes bytes to the line now, outside any exchange (stale bytes, stray noise), after any
    // reply already on its way. Returns once they are written; blocks while nobody reads a full
    // line, until unplug() or destruction.
    void sendRaw(const Bytes &bytes);

    // Closes the master side, as if the device were pulled out, and returns once it is closed.
    // The system then removes the device path (opening it fails with ENOENT); a port the tool
    // holds open reads end-of-file, polls POLLHUP and fails writes with EIO. Nothing answers any
    // more; a new SimulatedQuillon stands for a device plugged in again.
    void unplug();

private:
    // The pty descriptors, the thread and the request parser.
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace quillon
