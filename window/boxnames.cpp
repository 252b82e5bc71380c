#include "window/boxnames.h"

#include <array>

namespace quillon {

namespace {

// In wire order, as main_frm.ui names the boxes.
constexpr std::array<const char *, kBoxCount> kObjectNames{
    "serialno",    "macadr1",     "macadr2",     "macadr3",     "macadr4",     "macadr5",
    "macadr6",     "ipadr1",      "ipadr2",      "ipadr3",      "ipadr4",      "subnetmask1",
    "subnetmask2", "subnetmask3", "subnetmask4", "defgateway1", "defgateway2", "defgateway3",
    "defgateway4", "primdns1",    "primdns2",    "primdns3",    "primdns4",    "secdns1",
    "secdns2",     "secdns3",     "secdns4",
};

} // namespace

QString BoxObjectName(Box box)
{
    return QString::fromLatin1(kObjectNames[BoxIndex(box)]);
}

} // namespace quillon
