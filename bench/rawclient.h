#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon {

// The read exchange both exchange benchmarks time: its request, the reply's length, how long the
// raw client waits for it, and what it takes on a real 115200 baud line.
inline constexpr std::array<std::uint8_t, 5> kReadRequest{0x02, 0x52, 0x00, 0x52, 0x03};
inline constexpr std::size_t kReadReplyBytes = 105;
inline constexpr std::chrono::milliseconds kRawTimeout{2000};
inline constexpr double kLineExchangeMs = 9.549;

// The least an exchange can cost: POSIX calls only, no Qt, no window. Each exchange opens the
// device raw, writes the request, reads the reply and closes, as the tool does per exchange.
class RawClient
{
public:
    explicit RawClient(std::string devicePath);

    // False when the device cannot be opened or the reply is not in before the timeout.
    bool exchange(std::span<const std::uint8_t> request, std::size_t replyBytes,
                  std::chrono::milliseconds timeout);

private:
    std::string devicePath_;
};

} // namespace quillon
