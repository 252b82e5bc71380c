#include "residentmemory.h"

#include <fstream>
#include <unistd.h>

namespace quillon {

namespace {

constexpr double kBytesPerMiB = 1024.0 * 1024.0;
constexpr double kKiBPerMiB = 1024.0;

} // namespace

double ResidentMiB()
{
    std::ifstream statm("/proc/self/statm");
    long sizePages = 0;
    long residentPages = 0;
    statm >> sizePages >> residentPages;
    return static_cast<double>(residentPages) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           kBytesPerMiB;
}

double MiBFromKiB(long kib)
{
    return static_cast<double>(kib) / kKiBPerMiB;
}

} // namespace quillon
