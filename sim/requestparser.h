#pragma once

#include "protocol/setupframe.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace quillon {

struct Request
{
    char letter = 0;
    Bytes payload;
};

// Picks the device's requests out of the received bytes, one byte at a time. Only a complete
// "R", "F" (no payload) or "W" (a setup record) frame with a right checksum and end byte comes
// out; everything else is dropped without an answer, as the device does.
class RequestParser
{
public:
    std::optional<Request> feed(std::uint8_t b);
    // No frame begun: the next byte may start one.
    bool betweenFrames() const { return state_ == State::Start; }

private:
    enum class State { Start, Letter, Length, Payload, Checksum, End };

    // A byte that breaks a frame may itself start the next one.
    void restartAt(std::uint8_t b);

    State state_ = State::Start;
    Request request_;
    std::size_t length_ = 0;
};

} // namespace quillon
