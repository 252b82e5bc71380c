#pragma once

#include <string>

namespace quillon {

// The lock directory that Qt Serial Port writes its lock files to: the first of its list that
// exists, /var/lock on Debian, which links to /run/lock.
std::string SerialLockDirectory();

// Moves this process into a mount namespace of its own, with propagation turned off so nothing
// reaches the host, and mounts an empty tmpfs over the serial lock directory there. Call it
// before any thread starts. Needs root; on failure returns why, else an empty text.
std::string MountPrivateTmpfsLockDirectory();

} // namespace quillon
