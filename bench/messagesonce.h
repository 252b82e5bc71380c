#pragma once

namespace quillon {

// From now on each distinct toolkit message is printed once: thousands of exchanges would
// otherwise repeat the same warning (the offscreen platform's, for every warning box) and bury
// the tables.
void PrintEachMessageOnce();

} // namespace quillon
