#pragma once

namespace quillon {

// This process's resident set now, in MiB (from /proc/self/statm).
double ResidentMiB();

// Kibibytes as reported by getrusage's ru_maxrss, in MiB.
double MiBFromKiB(long kib);

} // namespace quillon
