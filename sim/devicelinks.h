#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace quillon {

// Stable names for simulated devices: symbolic links in one directory to their pseudo-terminals,
// whose numbers change from run to run. The links go again with the object, and so does the
// directory if the object made it and it is empty. While the object lives it holds a lock on
// the directory, so two simulators never point one name at two devices.
class DeviceLinks
{
public:
    // Makes the directory when it is missing. Throws std::runtime_error saying what failed,
    // also when another simulator holds the directory.
    explicit DeviceLinks(const std::string &directory);
    ~DeviceLinks();
    DeviceLinks(const DeviceLinks &) = delete;
    DeviceLinks &operator=(const DeviceLinks &) = delete;

    // Points the directory's entry `name` at `target` and returns the link's absolute path. A
    // symbolic link already there, left by a simulator that was killed, is replaced; anything
    // else under that name is left alone and refused with std::runtime_error.
    std::string add(const std::string &name, const std::string &target);

private:
    std::filesystem::path directory_;
    bool madeDirectory_ = false;
    int lock_ = -1;
    // Each link made and where it points.
    std::vector<std::pair<std::filesystem::path, std::filesystem::path>> links_;
};

} // namespace quillon
