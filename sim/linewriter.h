#pragma once

#include "protocol/setupframe.h"
#include "sim/simulatedquillon.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace quillon {

class WakeSignal;

// Puts the device's bytes on the non-blocking master side at the chosen pace. Every wait also
// watches the wake signal, so a stop or an unplug cuts a reply short instead of waiting it out.
class LineWriter
{
public:
    LineWriter(int fd, WakeSignal &wake, std::function<bool()> stopRequested);

    // A byte's time on the line at 115200 baud: ten bits, start, eight data and stop.
    static constexpr std::chrono::nanoseconds kByteTime{86'800};

    // False when told to stop, or when the line has failed. At line rate the bytes go out one
    // byte time apart, the first one byte time after `lineFree`, when the request has left the
    // line.
    bool write(const Bytes &bytes, SimulatedQuillon::Pacing pacing, std::chrono::microseconds gap,
               std::chrono::steady_clock::time_point lineFree);
    bool writeAll(const std::uint8_t *data, std::size_t size);

private:
    bool waitGap(std::chrono::microseconds gap);
    // Clears a raised wake signal; true when it was raised to stop.
    bool woken();

    int fd_;
    WakeSignal &wake_;
    std::function<bool()> stopRequested_;
};

} // namespace quillon
