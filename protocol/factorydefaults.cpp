#include "protocol/factorydefaults.h"

#include "protocol/settingstexts.h"

#include <array>
#include <string>

namespace quillon {

namespace {

// From macadr1 to secdns4, in box order.
constexpr std::array<std::string_view, kBoxCount - 1> kFactoryTexts{
    "02",  "5C",  "E1",  "C0", "00", "00", // MAC address
    "10",  "10",  "10",  "11",             // IP address
    "255", "255", "255", "0",              // subnet mask
    "0",   "0",   "0",   "0",              // default gateway
    "0",   "0",   "0",   "0",              // primary DNS server
    "0",   "0",   "0",   "0",              // secondary DNS server
};

} // namespace

std::optional<std::string_view> FactoryDefaultText(Box box)
{
    if (box == Box::serialno) {
        return std::nullopt;
    }
    return kFactoryTexts[BoxIndex(box) - 1];
}

DeviceSettings FactorySettings()
{
    BoxTexts<std::string> texts;
    // Moved in rather than assigned: GCC 12 at -O3 takes assigning a literal in place for an
    // overlapping copy, which fails a Release build with warnings as errors.
    texts[BoxIndex(Box::serialno)] = std::string("0");
    for (int index = BoxIndex(Box::macadr1); index < kBoxCount; ++index) {
        texts[index] = *FactoryDefaultText(BoxAt(index));
    }
    return *SettingsFromTexts(texts).settings;
}

} // namespace quillon
