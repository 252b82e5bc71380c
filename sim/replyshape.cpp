#include "sim/replyshape.h"

#include <algorithm>

namespace quillon {

namespace {

// The checksum and the end byte close every frame.
constexpr std::size_t kFrameTail = 2;

} // namespace

Bytes ReplyShape::apply(const Bytes &reply) const
{
    using Fault = SimulatedQuillon::ReplyFault;
    if (fault == Fault::NoReply) {
        return {};
    }
    Bytes frame = reply;
    if (fault == Fault::WrongChecksum && frame.size() >= kFrameTail) {
        ++frame[frame.size() - kFrameTail];
    }
    if (fault == Fault::CutShort) {
        frame.resize(frame.size() - std::min(kFrameTail, frame.size()));
    }
    const auto insidePos =
        frame.begin() + static_cast<std::ptrdiff_t>(std::min(insideAt, frame.size()));
    frame.insert(insidePos, noiseInside.begin(), noiseInside.end());

    Bytes line = noiseBefore;
    line.insert(line.end(), frame.begin(), frame.end());
    if (fault == Fault::SendTwice) {
        const Bytes once = line;
        line.insert(line.end(), once.begin(), once.end());
    }
    return line;
}

} // namespace quillon
