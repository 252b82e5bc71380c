// Feeds arbitrary bytes to the reply parser and checks its state machine on every byte, from a
// new parser and from one whose sum is at its largest; then checks that a reset parser reads a
// good read reply correctly whatever came before.

#include "protocol/replyparser.h"
#include "protocol/settingstexts.h"
#include "protocol/setupframe.h"
#include "require.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

using namespace quillon;
using fuzz::Require;

namespace {

// Frame offsets of a read reply: the serial number bytes, then one byte per box up to the last.
constexpr std::size_t kFirstBoxByte = 3;
constexpr std::size_t kLastSerialByte = 6;
constexpr std::size_t kLastBoxByte = 32;
constexpr std::int16_t kLastFramePosition = 102;
// The serial number's decimal text is longest at 4294967295.
constexpr std::size_t kLongestBoxText = 10;

bool IsParserState(std::int16_t pos)
{
    return (pos >= 0 && pos <= kLastFramePosition) || pos == ReplyParser::kShortLength ||
           pos == ReplyParser::kChecksum || pos == ReplyParser::kEnd;
}

void CheckStep(std::int16_t before, std::uint8_t b, const ReplyStep &step, std::int16_t after)
{
    Require(IsParserState(after), "rx_pos holds 0 to 102, 253, 254 or 255");
    if (step.box) {
        Require(step.outcome == ReplyOutcome::None, "a box is named only without an outcome");
        Require(!step.text.empty() && step.text.size() <= kLongestBoxText,
                "a box text has 1 to 10 characters");
    }
    if (step.outcome == ReplyOutcome::ChecksumError) {
        Require(before == ReplyParser::kChecksum, "a checksum error comes only in state 254");
    }
    if (step.outcome == ReplyOutcome::Ok) {
        Require(before == ReplyParser::kEnd && b == kEndByte, "Ok comes only for 03 in state 255");
    }
}

// Settings taken from the input's first bytes, so the good reply varies with the input too.
DeviceSettings SettingsFrom(const std::uint8_t *data, std::size_t size)
{
    std::array<std::uint8_t, kLastBoxByte - kFirstBoxByte + 1> b{};
    std::copy_n(data, std::min(size, b.size()), b.begin());
    DeviceSettings settings;
    settings.serialNumber = (std::uint32_t{b[0]} << 24) | (std::uint32_t{b[1]} << 16) |
                            (std::uint32_t{b[2]} << 8) | b[3];
    std::copy_n(b.begin() + 4, settings.mac.size(), settings.mac.begin());
    std::size_t at = 4 + settings.mac.size();
    for (Address *address : Addresses(settings)) {
        std::copy_n(b.begin() + at, address->size(), address->begin());
        at += address->size();
    }
    return settings;
}

void CheckGoodReply(ReplyParser &parser, const DeviceSettings &settings)
{
    // The reserved bytes are 0, so the sender's checksum equals the one the parser computes.
    const Bytes reply = BuildFrame(kReadLetter, SetupRecord(settings));
    BoxTexts<std::string> shown;
    for (std::size_t i = 0; i < reply.size(); ++i) {
        const ReplyStep step = parser.ParseReplyByte(reply[i]);
        const bool last = i + 1 == reply.size();
        Require(step.outcome == (last ? ReplyOutcome::Ok : ReplyOutcome::None),
                "a good read reply gives Ok at its end byte and no outcome before");
        if (i >= kFirstBoxByte && i <= kLastBoxByte) {
            const Box expected =
                i <= kLastSerialByte ? Box::serialno : BoxAt(static_cast<int>(i - kLastSerialByte));
            Require(step.box == expected, "each settings byte updates its own box");
            shown[BoxIndex(expected)] = step.text;
        } else {
            Require(!step.box, "only settings bytes update a box");
        }
    }
    Require(shown == TextsFromSettings(settings), "a good read reply shows its settings");
}

void FeedAndCheck(ReplyParser &parser, const std::uint8_t *data, std::size_t size)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::int16_t before = parser.rx_pos;
        const ReplyStep step = parser.ParseReplyByte(data[i]);
        CheckStep(before, data[i], step, parser.rx_pos);
        // The receive handler ends the exchange on an outcome, which resets the parser.
        if (step.outcome != ReplyOutcome::None) {
            parser.Reset();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    ReplyParser parser;
    FeedAndCheck(parser, data, size);
    // States 1 and 2 sum noise without end, so a long enough stream leaves the sum at the top of
    // its range, where inputs of a few kilobytes never bring it.
    parser.rx_pos = 1;
    parser.rx_sum = std::numeric_limits<std::int32_t>::max();
    FeedAndCheck(parser, data, size);
    parser.Reset();
    CheckGoodReply(parser, SettingsFrom(data, size));
    return 0;
}
