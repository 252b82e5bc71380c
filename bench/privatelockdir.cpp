#include "privatelockdir.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <linux/magic.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/statfs.h>

namespace quillon {

namespace {

std::string Failed(const char *step)
{
    return std::string(step) + ": " + std::strerror(errno);
}

} // namespace

std::string SerialLockDirectory()
{
    // Qt Serial Port's order of lock directories.
    constexpr std::array kCandidates{"/var/lock",       "/etc/locks", "/var/spool/locks",
                                     "/var/spool/uucp", "/tmp",       "/var/tmp"};
    for (const char *candidate : kCandidates) {
        std::error_code error;
        const auto path = std::filesystem::canonical(candidate, error);
        if (!error && std::filesystem::is_directory(path, error)) {
            return path.string();
        }
    }
    return "/tmp";
}

std::string MountPrivateTmpfsLockDirectory()
{
    if (unshare(CLONE_NEWNS) != 0) {
        return Failed("unshare");
    }
    if (mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return Failed("making mounts private");
    }
    const std::string directory = SerialLockDirectory();
    if (mount("quillon-bench", directory.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "mode=1777") !=
        0) {
        return Failed("mounting tmpfs");
    }
    struct statfs info
    {
    };
    if (statfs(directory.c_str(), &info) != 0 || info.f_type != TMPFS_MAGIC) {
        return directory + " is not on tmpfs after the mount";
    }
    return {};
}

} // namespace quillon
