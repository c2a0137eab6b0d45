#include "framework/TickCount.h"

#include <chrono>
#include <cstdint>
#include <gtest/gtest.h>

namespace qor {
namespace {

std::uint32_t SteadyMilliseconds() {
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Units and clock: the count lies between two readings of the monotonic clock taken around
// it, also across a wrap of the 32-bit count (hence unsigned differences).
TEST(TickCount, CountsMillisecondsOfTheMonotonicClock) {
    for (int i = 0; i < 100; ++i) {
        const std::uint32_t before = SteadyMilliseconds();
        const std::uint32_t tick = GetTickCount();
        const std::uint32_t after = SteadyMilliseconds();
        ASSERT_LE(static_cast<std::uint32_t>(tick - before),
                  static_cast<std::uint32_t>(after - before));
    }
}

} // namespace
} // namespace qor
