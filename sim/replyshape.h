#pragma once

#include "protocol/setupframe.h"
#include "sim/simulatedquillon.h"

#include <cstddef>

namespace quillon {

// How the device puts a reply on the line: the fault it shows and the noise around it.
struct ReplyShape
{
    SimulatedQuillon::ReplyFault fault = SimulatedQuillon::ReplyFault::None;
    Bytes noiseBefore;
    Bytes noiseInside;
    std::size_t insideAt = 0;

    // The bytes one reply puts on the line; empty when the device stays silent. A reply sent
    // twice carries its noise twice, as two real replies would.
    Bytes apply(const Bytes &reply) const;
};

} // namespace quillon
