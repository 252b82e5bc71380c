#pragma once

#include <cstdio>
#include <cstdlib>

namespace quillon::fuzz {

// A violated property ends the run as a crash that libFuzzer records with its input. Unlike
// assert(), this stays in release builds.
inline void Require(bool holds, const char *property)
{
    if (!holds) {
        std::fprintf(stderr, "property violated: %s\n", property);
        std::abort();
    }
}

} // namespace quillon::fuzz
