#include "sim/pseudoterminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>

namespace quillon {

namespace {

[[noreturn]] void ThrowSystemError(const char *what)
{
    throw std::system_error(errno, std::generic_category(), what);
}

// No echo, no line editing, no translation and no flow control: software flow control would
// swallow 0x11 and 0x13, and every byte value has to pass unchanged.
void MakeRaw(int fd)
{
    termios attributes{};
    if (tcgetattr(fd, &attributes) != 0) {
        ThrowSystemError("tcgetattr");
    }
    cfmakeraw(&attributes);
    attributes.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
    attributes.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
    attributes.c_cflag |= CLOCAL | CREAD;
    attributes.c_cc[VMIN] = 1;
    attributes.c_cc[VTIME] = 0;
    cfsetispeed(&attributes, B115200);
    cfsetospeed(&attributes, B115200);
    if (tcsetattr(fd, TCSANOW, &attributes) != 0) {
        ThrowSystemError("tcsetattr");
    }
}

} // namespace

PseudoTerminal::PseudoTerminal()
{
    try {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0) {
            ThrowSystemError("posix_openpt");
        }
        if (fcntl(master_, F_SETFD, FD_CLOEXEC) != 0 ||
            fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK) != 0) {
            ThrowSystemError("fcntl");
        }
        if (grantpt(master_) != 0 || unlockpt(master_) != 0) {
            ThrowSystemError("grantpt/unlockpt");
        }
        char path[256];
        if (ptsname_r(master_, path, sizeof path) != 0) {
            ThrowSystemError("ptsname");
        }
        devicePath_ = path;
        device_ = open(path, O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (device_ < 0) {
            ThrowSystemError("open device side");
        }
        MakeRaw(device_);
    } catch (...) {
        closeAll();
        throw;
    }
}

PseudoTerminal::~PseudoTerminal()
{
    closeAll();
}

void PseudoTerminal::closeMaster()
{
    if (master_ >= 0) {
        close(master_);
        master_ = -1;
    }
}

void PseudoTerminal::closeAll()
{
    closeMaster();
    if (device_ >= 0) {
        close(device_);
        device_ = -1;
    }
}

} // namespace quillon
