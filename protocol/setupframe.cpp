#include "protocol/setupframe.h"

namespace quillon {

namespace {

void AppendBigEndian(Bytes &out, std::uint32_t value)
{
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

} // namespace

std::uint8_t FrameChecksum(char letter, const Bytes &payload)
{
    std::uint32_t sum = static_cast<std::uint8_t>(letter) + payload.size();
    for (std::uint8_t b : payload) {
        sum += b;
    }
    return static_cast<std::uint8_t>(sum % 256);
}

Bytes BuildFrame(char letter, const Bytes &payload)
{
    Bytes frame;
    frame.reserve(payload.size() + 5);
    frame.push_back(kStartByte);
    frame.push_back(static_cast<std::uint8_t>(letter));
    frame.push_back(static_cast<std::uint8_t>(payload.size()));
    frame.insert(frame.end(), payload.begin(), payload.end());
    frame.push_back(FrameChecksum(letter, payload));
    frame.push_back(kEndByte);
    return frame;
}

Bytes SetupRecord(const DeviceSettings &settings)
{
    Bytes record;
    record.reserve(kSetupRecordSize);
    AppendBigEndian(record, settings.serialNumber);
    record.insert(record.end(), settings.mac.begin(), settings.mac.end());
    for (const Address *address : Addresses(settings)) {
        record.insert(record.end(), address->begin(), address->end());
    }
    record.resize(kSetupRecordSize, 0);
    return record;
}

Bytes BuildSetupFrame(const DeviceSettings &settings)
{
    return BuildFrame(kWriteLetter, SetupRecord(settings));
}

} // namespace quillon
