#include "sim/requestparser.h"

#include "protocol/devicesettings.h"

namespace quillon {

namespace {

// The payload length each known letter carries; unknown letters have none.
std::optional<std::size_t> PayloadLength(std::uint8_t letter)
{
    switch (letter) {
    case kReadLetter:
    case kFormatLetter:
        return 0;
    case kWriteLetter:
        return kSetupRecordSize;
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<Request> RequestParser::feed(std::uint8_t b)
{
    switch (state_) {
    case State::Start:
        restartAt(b);
        break;
    case State::Letter:
        if (const auto length = PayloadLength(b)) {
            request_.letter = static_cast<char>(b);
            length_ = *length;
            state_ = State::Length;
        } else {
            restartAt(b);
        }
        break;
    case State::Length:
        if (b != length_) {
            restartAt(b);
            break;
        }
        request_.payload.clear();
        state_ = length_ == 0 ? State::Checksum : State::Payload;
        break;
    case State::Payload:
        request_.payload.push_back(b);
        if (request_.payload.size() == length_) {
            state_ = State::Checksum;
        }
        break;
    case State::Checksum:
        // Checked at once, so a cut-off request cannot swallow the start of the next one.
        if (b != FrameChecksum(request_.letter, request_.payload)) {
            restartAt(b);
            break;
        }
        state_ = State::End;
        break;
    case State::End:
        if (b != kEndByte) {
            restartAt(b);
            break;
        }
        state_ = State::Start;
        return request_;
    }
    return std::nullopt;
}

void RequestParser::restartAt(std::uint8_t b)
{
    state_ = b == kStartByte ? State::Letter : State::Start;
}

} // namespace quillon
