#pragma once

#include "sim/simulatedquillon.h"

#include <optional>
#include <span>
#include <string_view>

namespace quillon {

// A reply fault under the short name a user gives it on a command line ("bad-checksum").
struct FaultName
{
    std::string_view name;
    SimulatedQuillon::ReplyFault fault;
    std::string_view meaning; // one line for a help text
};

// Every fault the simulated device can show, "none" first.
std::span<const FaultName> FaultNames();

std::optional<SimulatedQuillon::ReplyFault> FaultNamed(std::string_view name);

} // namespace quillon
