#pragma once

#include "protocol/devicesettings.h"
#include "protocol/settingsboxes.h"

#include <optional>
#include <string_view>

namespace quillon {

// The device's factory value of a box, as the text the window writes into it: two upper-case
// hex digits for a MAC byte, plain decimal for an octet. The serial number has none.
std::optional<std::string_view> FactoryDefaultText(Box box);

// A unit as it leaves the factory: the factory values, and serial number 0 until it is given one.
DeviceSettings FactorySettings();

} // namespace quillon
