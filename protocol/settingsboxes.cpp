#include "protocol/settingsboxes.h"

namespace quillon {

namespace {

constexpr std::array<std::string_view, kBoxCount> kOperatorNames{
    "Serial No.",
    "MAC Adr. byte 1",
    "MAC Adr. byte 2",
    "MAC Adr. byte 3",
    "MAC Adr. byte 4",
    "MAC Adr. byte 5",
    "MAC Adr. byte 6",
    "IP Address octet 1",
    "IP Address octet 2",
    "IP Address octet 3",
    "IP Address octet 4",
    "Subnet mask octet 1",
    "Subnet mask octet 2",
    "Subnet mask octet 3",
    "Subnet mask octet 4",
    "Default Gateway octet 1",
    "Default Gateway octet 2",
    "Default Gateway octet 3",
    "Default Gateway octet 4",
    "Primary DNS Server octet 1",
    "Primary DNS Server octet 2",
    "Primary DNS Server octet 3",
    "Primary DNS Server octet 4",
    "Secondary DNS Server octet 1",
    "Secondary DNS Server octet 2",
    "Secondary DNS Server octet 3",
    "Secondary DNS Server octet 4",
};

} // namespace

std::string_view BoxOperatorName(Box box)
{
    return kOperatorNames[BoxIndex(box)];
}

} // namespace quillon
