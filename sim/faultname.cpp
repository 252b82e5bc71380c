#include "sim/faultname.h"

#include <algorithm>
#include <array>

namespace quillon {

namespace {

using Fault = SimulatedQuillon::ReplyFault;

constexpr std::array kFaultNames{
    FaultName{"none", Fault::None, "answers as a sound unit does (the default)"},
    FaultName{"silent", Fault::NoReply, "takes every request and never answers"},
    FaultName{"bad-checksum", Fault::WrongChecksum, "the checksum of every reply is one off"},
    FaultName{"truncated", Fault::CutShort, "the last two bytes of every reply never come"},
    FaultName{"doubled", Fault::SendTwice, "every reply comes twice in one burst"},
    FaultName{"ignores-writes", Fault::IgnoreWrites,
              "answers reads; a write is neither stored nor answered"},
    FaultName{"alters-writes", Fault::AltersWrites,
              "acknowledges a write but stores its IP address's last octet plus one"},
};

} // namespace

std::span<const FaultName> FaultNames()
{
    return kFaultNames;
}

std::optional<SimulatedQuillon::ReplyFault> FaultNamed(std::string_view name)
{
    const auto found = std::ranges::find(kFaultNames, name, &FaultName::name);
    if (found == kFaultNames.end()) {
        return std::nullopt;
    }
    return found->fault;
}

} // namespace quillon
