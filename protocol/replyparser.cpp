#include "protocol/replyparser.h"

#include "protocol/settingstexts.h"
#include "protocol/setupframe.h"

namespace quillon {

namespace {

constexpr std::uint8_t kRecordLength = 100;
constexpr std::int16_t kFirstSerial = 3;
constexpr std::int16_t kLastSerial = 6;
constexpr std::int16_t kLastBox = 32;
constexpr std::int16_t kLastReserved = 102;

// States 1 and 2 sum noise without end, so the sum may pass the signed range; wrapping keeps
// the low 8 bits, the only ones compared, where signed overflow would be undefined.
void AddToSum(std::int32_t &sum, std::uint8_t b)
{
    sum = static_cast<std::int32_t>(static_cast<std::uint32_t>(sum) + b);
}

} // namespace

ReplyStep ReplyParser::ParseReplyByte(std::uint8_t b)
{
    ReplyStep step;
    switch (rx_pos) {
    case 0:
        if (b == kStartByte) {
            rx_sum = 0;
            rx_pos = 1;
        }
        return step;
    case 1:
        AddToSum(rx_sum, b);
        if (b == kReadLetter) {
            rx_pos = 2;
        } else if (b == kWriteLetter || b == kFormatLetter) {
            rx_pos = kShortLength;
        }
        return step;
    case 2:
        AddToSum(rx_sum, b);
        if (b == kRecordLength) {
            rx_pos = kFirstSerial;
        }
        return step;
    case kShortLength:
        if (b == 0) {
            rx_pos = kChecksum;
        }
        return step;
    case kChecksum:
        if (b == (rx_sum & 0xFF)) {
            rx_pos = kEnd;
        } else {
            step.outcome = ReplyOutcome::ChecksumError;
        }
        return step;
    case kEnd:
        if (b == kEndByte) {
            step.outcome = ReplyOutcome::Ok;
        }
        return step;
    default:
        break;
    }

    if (rx_pos >= kFirstSerial && rx_pos <= kLastSerial) {
        // Big-endian: each byte weighs 256 times less than the one before it.
        const int shift = 8 * (kLastSerial - rx_pos);
        rx_serial = (rx_pos == kFirstSerial ? 0u : rx_serial) + (std::uint32_t{b} << shift);
        AddToSum(rx_sum, b);
        step.box = Box::serialno;
        step.text = DecimalText(rx_serial);
        ++rx_pos;
    } else if (rx_pos > kLastSerial && rx_pos <= kLastBox) {
        const Box box = BoxAt(rx_pos - kLastSerial);
        AddToSum(rx_sum, b);
        step.box = box;
        step.text = IsMacBox(box) ? HexByteText(b) : DecimalText(b);
        ++rx_pos;
    } else if (rx_pos > kLastBox && rx_pos < kLastReserved) {
        ++rx_pos;
    } else if (rx_pos == kLastReserved) {
        rx_pos = kChecksum;
    }
    // 103 to 252 cannot be reached; such a byte is dropped.
    return step;
}

} // namespace quillon
