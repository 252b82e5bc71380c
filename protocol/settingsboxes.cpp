#include "settingsboxes.h"

namespace quillon {

namespace {

struct BoxNames
{
    std::string_view object;
    std::string_view operatorName;
};

constexpr std::array<BoxNames, kBoxCount> kNames{{
    {"serialno", "Serial No."},
    {"macadr1", "MAC Adr. byte 1"},
    {"macadr2", "MAC Adr. byte 2"},
    {"macadr3", "MAC Adr. byte 3"},
    {"macadr4", "MAC Adr. byte 4"},
    {"macadr5", "MAC Adr. byte 5"},
    {"macadr6", "MAC Adr. byte 6"},
    {"ipadr1", "IP Address octet 1"},
    {"ipadr2", "IP Address octet 2"},
    {"ipadr3", "IP Address octet 3"},
    {"ipadr4", "IP Address octet 4"},
    {"subnetmask1", "Subnet mask octet 1"},
    {"subnetmask2", "Subnet mask octet 2"},
    {"subnetmask3", "Subnet mask octet 3"},
    {"subnetmask4", "Subnet mask octet 4"},
    {"defgateway1", "Default Gateway octet 1"},
    {"defgateway2", "Default Gateway octet 2"},
    {"defgateway3", "Default Gateway octet 3"},
    {"defgateway4", "Default Gateway octet 4"},
    {"primdns1", "Primary DNS Server octet 1"},
    {"primdns2", "Primary DNS Server octet 2"},
    {"primdns3", "Primary DNS Server octet 3"},
    {"primdns4", "Primary DNS Server octet 4"},
    {"secdns1", "Secondary DNS Server octet 1"},
    {"secdns2", "Secondary DNS Server octet 2"},
    {"secdns3", "Secondary DNS Server octet 3"},
    {"secdns4", "Secondary DNS Server octet 4"},
}};

} // namespace

std::string_view BoxObjectName(Box box)
{
    return kNames[BoxIndex(box)].object;
}

std::string_view BoxOperatorName(Box box)
{
    return kNames[BoxIndex(box)].operatorName;
}

} // namespace quillon
