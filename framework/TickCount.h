#pragma once
// The millisecond tick count: for due times and pauses, never for the time of day.

#include <cstdint>

namespace qor {

// Milliseconds from a monotonic clock (it never jumps with the wall clock). The count wraps
// to 0 after 2^32 ms (about 49.7 days), so compare tick counts by unsigned differences.
std::uint32_t GetTickCount();

} // namespace qor
