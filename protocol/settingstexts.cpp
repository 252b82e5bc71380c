#include "protocol/settingstexts.h"

#include <algorithm>

namespace quillon {

namespace {

constexpr std::uint32_t kMaxByte = 255;
constexpr std::uint32_t kMaxUInt32 = 0xFFFFFFFF;

struct Parsed
{
    std::optional<std::uint32_t> value;
    SettingsFault fault = SettingsFault::NoValue;
};

Parsed ParseDecimal(const std::string &text, std::uint32_t limit)
{
    const std::optional<std::uint64_t> value = DecimalValue(text, limit);
    if (!value) {
        return {};
    }
    if (*value > limit) {
        return {std::nullopt, SettingsFault::OutOfRange};
    }
    return {static_cast<std::uint32_t>(*value)};
}

// The leading hexadecimal digits, blanks anywhere ignored; no leading digit reads as 0.
Parsed ParseMac(const std::string &text)
{
    std::uint64_t value = 0;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n') {
            continue;
        }
        const int digit = HexDigitValue(c);
        if (digit < 0) {
            break;
        }
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > kMaxByte) {
            return {std::nullopt, SettingsFault::OutOfRange};
        }
    }
    return {static_cast<std::uint32_t>(value)};
}

} // namespace

std::optional<std::uint64_t> DecimalValue(std::string_view text, std::uint32_t limit)
{
    if (text.empty() ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
        if (value > limit) {
            break;
        }
    }
    return value;
}

int HexDigitValue(char c)
{
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

SettingsFromTextsResult SettingsFromTexts(const BoxTexts<std::string> &texts)
{
    SettingsFromTextsResult result;
    DeviceSettings settings;
    for (int i = 0; i < kBoxCount; ++i) {
        const Box box = BoxAt(i);
        const Parsed parsed = box == Box::serialno ? ParseDecimal(texts[i], kMaxUInt32)
                              : IsMacBox(box)      ? ParseMac(texts[i])
                                                   : ParseDecimal(texts[i], kMaxByte);
        if (!parsed.value) {
            result.box = box;
            result.fault = parsed.fault;
            return result;
        }
        const std::uint32_t value = *parsed.value;
        if (box == Box::serialno) {
            settings.serialNumber = value;
        } else if (IsMacBox(box)) {
            settings.mac[i - BoxIndex(Box::macadr1)] = static_cast<std::uint8_t>(value);
        } else {
            const int octet = i - BoxIndex(Box::ipadr1);
            (*Addresses(settings)[octet / 4])[octet % 4] = static_cast<std::uint8_t>(value);
        }
    }
    result.settings = settings;
    return result;
}

BoxTexts<std::string> TextsFromSettings(const DeviceSettings &settings)
{
    BoxTexts<std::string> texts;
    texts[BoxIndex(Box::serialno)] = DecimalText(settings.serialNumber);
    for (int i = 0; i < 6; ++i) {
        texts[BoxIndex(Box::macadr1) + i] = HexByteText(settings.mac[i]);
    }
    int index = BoxIndex(Box::ipadr1);
    for (const Address *address : Addresses(settings)) {
        for (std::uint8_t octet : *address) {
            texts[index++] = DecimalText(octet);
        }
    }
    return texts;
}

std::string DecimalText(std::uint32_t value)
{
    return std::to_string(value);
}

std::string HexByteText(std::uint8_t value)
{
    static constexpr char kDigits[] = "0123456789ABCDEF";
    return {kDigits[value >> 4], kDigits[value & 0x0F]};
}

} // namespace quillon
