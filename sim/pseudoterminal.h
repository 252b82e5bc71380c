#pragma once

#include <string>

namespace quillon {

// A pseudo-terminal whose device side is a raw 8-bit line. The master is non-blocking so a
// tool that stops reading can never wedge the device's thread.
//
// The pair keeps its own descriptor of the device side open for its whole life: once the last
// descriptor of that side closes, every poll of the master reports a hang-up, and a loop that
// waits on the master would spin.
class PseudoTerminal
{
public:
    // Throws std::system_error when the system has no pseudo-terminal to give.
    PseudoTerminal();
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal &) = delete;
    PseudoTerminal &operator=(const PseudoTerminal &) = delete;

    // -1 once closed.
    int masterFd() const { return master_; }
    const std::string &devicePath() const { return devicePath_; }

    // The tool's side then reads end-of-file or EIO and polls a hang-up, like a pulled cable.
    void closeMaster();

private:
    void closeAll();

    int master_ = -1;
    int device_ = -1;
    std::string devicePath_;
};

} // namespace quillon
