#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace quillon {

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
