#include "rawclient.h"

#include <array>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace quillon {

namespace {

constexpr std::size_t kReadChunk = 256;

bool MakeRaw(int fd)
{
    termios attributes{};
    if (tcgetattr(fd, &attributes) != 0) {
        return false;
    }
    cfmakeraw(&attributes);
    attributes.c_cflag |= CLOCAL | CREAD;
    attributes.c_cc[VMIN] = 1;
    attributes.c_cc[VTIME] = 0;
    cfsetspeed(&attributes, B115200);
    return tcsetattr(fd, TCSANOW, &attributes) == 0;
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes)
{
    while (!bytes.empty()) {
        const ssize_t written = write(fd, bytes.data(), bytes.size());
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

bool ReadCount(int fd, std::size_t count, std::chrono::milliseconds timeout)
{
    std::array<std::uint8_t, kReadChunk> buffer{};
    std::size_t got = 0;
    while (got < count) {
        pollfd watch{fd, POLLIN, 0};
        if (poll(&watch, 1, static_cast<int>(timeout.count())) <= 0) {
            return false;
        }
        const ssize_t n = read(fd, buffer.data(), buffer.size());
        if (n <= 0) {
            return false;
        }
        got += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

RawClient::RawClient(std::string devicePath) : devicePath_(std::move(devicePath)) {}

bool RawClient::exchange(std::span<const std::uint8_t> request, std::size_t replyBytes,
                         std::chrono::milliseconds timeout)
{
    const int fd = open(devicePath_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    // Like the tool, never take bytes that were waiting before the request for the reply.
    const bool ok = MakeRaw(fd) && tcflush(fd, TCIFLUSH) == 0 && WriteAll(fd, request) &&
                    ReadCount(fd, replyBytes, timeout);
    close(fd);
    return ok;
}

} // namespace quillon
