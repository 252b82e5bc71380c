#include "protocol/factorydefaults.h"

#include "protocol/settingstexts.h"

#include <string>

namespace quillon {

std::optional<std::string_view> FactoryDefaultText(Box box)
{
    switch (box) {
    case Box::serialno:
        return std::nullopt;
    case Box::macadr1:
        return "02";
    case Box::macadr2:
        return "5C";
    case Box::macadr3:
        return "E1";
    case Box::macadr4:
        return "C0";
    case Box::macadr5:
    case Box::macadr6:
        return "00";
    case Box::ipadr1:
    case Box::ipadr2:
    case Box::ipadr3:
        return "10";
    case Box::ipadr4:
        return "11";
    case Box::subnetmask1:
    case Box::subnetmask2:
    case Box::subnetmask3:
        return "255";
    case Box::subnetmask4:
    case Box::defgateway1:
    case Box::defgateway2:
    case Box::defgateway3:
    case Box::defgateway4:
    case Box::primdns1:
    case Box::primdns2:
    case Box::primdns3:
    case Box::primdns4:
    case Box::secdns1:
    case Box::secdns2:
    case Box::secdns3:
    case Box::secdns4:
        break;
    }
    return "0";
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
