#include "protocol/settingsboxes.h"

namespace quillon {

std::string_view BoxOperatorName(Box box)
{
    switch (box) {
    case Box::serialno:
        return "Serial No.";
    case Box::macadr1:
        return "MAC Adr. byte 1";
    case Box::macadr2:
        return "MAC Adr. byte 2";
    case Box::macadr3:
        return "MAC Adr. byte 3";
    case Box::macadr4:
        return "MAC Adr. byte 4";
    case Box::macadr5:
        return "MAC Adr. byte 5";
    case Box::macadr6:
        return "MAC Adr. byte 6";
    case Box::ipadr1:
        return "IP Address octet 1";
    case Box::ipadr2:
        return "IP Address octet 2";
    case Box::ipadr3:
        return "IP Address octet 3";
    case Box::ipadr4:
        return "IP Address octet 4";
    case Box::subnetmask1:
        return "Subnet mask octet 1";
    case Box::subnetmask2:
        return "Subnet mask octet 2";
    case Box::subnetmask3:
        return "Subnet mask octet 3";
    case Box::subnetmask4:
        return "Subnet mask octet 4";
    case Box::defgateway1:
        return "Default Gateway octet 1";
    case Box::defgateway2:
        return "Default Gateway octet 2";
    case Box::defgateway3:
        return "Default Gateway octet 3";
    case Box::defgateway4:
        return "Default Gateway octet 4";
    case Box::primdns1:
        return "Primary DNS Server octet 1";
    case Box::primdns2:
        return "Primary DNS Server octet 2";
    case Box::primdns3:
        return "Primary DNS Server octet 3";
    case Box::primdns4:
        return "Primary DNS Server octet 4";
    case Box::secdns1:
        return "Secondary DNS Server octet 1";
    case Box::secdns2:
        return "Secondary DNS Server octet 2";
    case Box::secdns3:
        return "Secondary DNS Server octet 3";
    case Box::secdns4:
        return "Secondary DNS Server octet 4";
    }
    return {};
}

} // namespace quillon
