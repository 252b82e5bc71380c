#pragma once

#include "protocol/settingsboxes.h"

#include <cstdint>
#include <optional>
#include <string>

namespace quillon {

enum class ReplyOutcome { None, Ok, ChecksumError };

struct ReplyStep
{
    std::optional<Box> box; // named only when outcome is None
    std::string text;
    ReplyOutcome outcome = ReplyOutcome::None;
};

// Reads a reply frame one byte at a time, without buffering it.
class ReplyParser
{
public:
    ReplyStep ParseReplyByte(std::uint8_t b);
    // Setting the position to 0 is the parser's only reset.
    void Reset() { rx_pos = 0; }

    // States past the frame positions 0 to 102.
    static constexpr std::int16_t kShortLength = 253;
    static constexpr std::int16_t kChecksum = 254;
    static constexpr std::int16_t kEnd = 255;

    std::int16_t rx_pos = 0;
    std::int32_t rx_sum = 0;
    std::uint32_t rx_serial = 0;
};

} // namespace quillon
