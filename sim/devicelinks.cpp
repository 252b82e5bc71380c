#include "sim/devicelinks.h"

#include <cerrno>
#include <fcntl.h>
#include <stdexcept>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace quillon {

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(const std::error_code &error, const std::string &what)
{
    throw std::runtime_error(what + ": " + error.message());
}

} // namespace

DeviceLinks::DeviceLinks(const std::string &directory)
{
    std::error_code error;
    directory_ = fs::absolute(directory, error).lexically_normal();
    if (!error) {
        madeDirectory_ = fs::create_directories(directory_, error);
    }
    if (error) {
        Fail(error, "cannot make the directory " + directory);
    }
    lock_ = open(directory_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lock_ < 0) {
        Fail(std::error_code(errno, std::generic_category()), "cannot open " + directory);
    }
    if (flock(lock_, LOCK_EX | LOCK_NB) != 0) {
        const std::error_code lockError(errno, std::generic_category());
        close(lock_);
        if (lockError == std::errc::operation_would_block) {
            throw std::runtime_error(directory + " is in use by another simulator");
        }
        Fail(lockError, "cannot lock " + directory);
    }
}

DeviceLinks::~DeviceLinks()
{
    for (const auto &[link, target] : links_) {
        std::error_code error;
        // Only while it is still ours: someone may have pointed the name elsewhere meanwhile.
        if (fs::read_symlink(link, error) == target) {
            fs::remove(link, error);
        }
    }
    if (madeDirectory_) {
        std::error_code error;
        // Fails, and keeps the directory, when anything else is in it.
        fs::remove(directory_, error);
    }
    close(lock_);
}

std::string DeviceLinks::add(const std::string &name, const std::string &target)
{
    const fs::path link = directory_ / name;
    std::error_code error;
    const fs::file_status existing = fs::symlink_status(link, error);
    if (fs::is_symlink(existing)) {
        fs::remove(link, error);
    } else if (fs::exists(existing)) {
        throw std::runtime_error(link.string() + " exists and is not a symbolic link");
    }
    fs::create_symlink(target, link, error);
    if (error) {
        Fail(error, "cannot make the link " + link.string());
    }
    links_.emplace_back(link, target);
    return link.string();
}

} // namespace quillon
