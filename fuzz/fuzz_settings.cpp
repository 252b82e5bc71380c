// Splits the input into the 27 box texts and checks the settings conversion: converted settings
// give a well-formed setup frame, mean what their texts say and survive the trip through their
// own texts; a refusal names the first box whose text really has no valid value.

#include "protocol/settingstexts.h"
#include "protocol/setupframe.h"
#include "require.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <string>
#include <string_view>

using namespace quillon;
using fuzz::Require;

namespace {

// Separates the box texts in the input; it never occurs inside a text.
constexpr std::uint8_t kSeparator = '|';
constexpr std::size_t kFirstReserved = 33;
constexpr std::size_t kChecksumOffset = 103;

BoxTexts<std::string> SplitTexts(const std::uint8_t *data, std::size_t size)
{
    BoxTexts<std::string> texts;
    std::size_t box = 0;
    for (std::size_t i = 0; i < size && box < texts.size(); ++i) {
        if (data[i] == kSeparator) {
            ++box;
        } else {
            texts[box].push_back(static_cast<char>(data[i]));
        }
    }
    return texts;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsHexDigit(char c)
{
    return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

bool AllDigits(const std::string &text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), IsDigit);
}

// Digits without leading zeros; "0" for none at all.
std::string WithoutLeadingZeros(const std::string &digits)
{
    const std::size_t first = digits.find_first_not_of('0');
    return first == std::string::npos ? "0" : digits.substr(first);
}

// The hexadecimal digits a MAC text is read from, upper case: those at its start, blanks skipped.
std::string MacDigits(const std::string &text)
{
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n') {
            continue;
        }
        if (!IsHexDigit(c)) {
            break;
        }
        digits.push_back(c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    return WithoutLeadingZeros(digits);
}

// Compares digit strings without leading zeros; upper-case hexadecimal sorts right in ASCII.
bool Exceeds(const std::string &digits, std::string_view limit)
{
    return digits.size() != limit.size() ? digits.size() > limit.size() : digits > limit;
}

std::string_view DecimalLimit(Box box)
{
    return box == Box::serialno ? "4294967295" : "255";
}

void CheckSetupFrame(const DeviceSettings &settings)
{
    const Bytes frame = BuildSetupFrame(settings);
    Require(frame.size() == kSetupFrameSize, "the setup frame has 105 bytes");
    Require(frame[0] == kStartByte && frame[1] == kWriteLetter && frame[2] == kSetupRecordSize &&
                frame.back() == kEndByte,
            "the setup frame starts 02 57 64 and ends 03");
    Require(std::all_of(frame.begin() + kFirstReserved, frame.begin() + kChecksumOffset,
                        [](std::uint8_t b) { return b == 0; }),
            "the reserved bytes are sent as 0");
    // The device sums only the letter, the length and the first 30 record bytes.
    const unsigned sum = std::accumulate(frame.begin() + 3, frame.begin() + kFirstReserved,
                                         unsigned{kWriteLetter} + kSetupRecordSize);
    Require(frame[kChecksumOffset] == sum % 256, "the device accepts the setup frame's checksum");
}

void CheckConverted(const BoxTexts<std::string> &texts, const DeviceSettings &settings)
{
    if (IsWritable(settings)) {
        CheckSetupFrame(settings);
    }

    const BoxTexts<std::string> shown = TextsFromSettings(settings);
    Require(SettingsFromTexts(shown).settings == settings,
            "settings survive the trip through their texts");
    // Independent reading of every text: no value may be wrapped, clamped or guessed.
    for (int i = 0; i < kBoxCount; ++i) {
        if (IsMacBox(BoxAt(i))) {
            Require(MacDigits(texts[i]) == WithoutLeadingZeros(shown[i]),
                    "a MAC byte has the value of its text's leading hex digits");
        } else {
            Require(AllDigits(texts[i]) && WithoutLeadingZeros(texts[i]) == shown[i],
                    "a decimal box has the value of its plain digits");
        }
    }
}

void CheckRefused(BoxTexts<std::string> texts, const SettingsFromTextsResult &result)
{
    const Box box = result.box;
    const std::string &text = texts[BoxIndex(box)];
    if (IsMacBox(box)) {
        Require(result.fault == SettingsFault::OutOfRange && Exceeds(MacDigits(text), "FF"),
                "a refused MAC text is above FF");
    } else if (AllDigits(text)) {
        Require(result.fault == SettingsFault::OutOfRange &&
                    Exceeds(WithoutLeadingZeros(text), DecimalLimit(box)),
                "a refused number is above its field's range");
    } else {
        Require(result.fault == SettingsFault::NoValue, "a text without plain digits has no value");
    }

    texts[BoxIndex(box)] = "0";
    const SettingsFromTextsResult fixed = SettingsFromTexts(texts);
    Require(fixed.settings || BoxIndex(fixed.box) > BoxIndex(box),
            "a refusal names the first box without a valid value");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const BoxTexts<std::string> texts = SplitTexts(data, size);
    const SettingsFromTextsResult result = SettingsFromTexts(texts);
    if (result.settings) {
        CheckConverted(texts, *result.settings);
    } else {
        CheckRefused(texts, result);
    }
    return 0;
}
