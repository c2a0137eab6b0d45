#include "framework/TickCount.h"

#include <chrono>

namespace qor {

std::uint32_t GetTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    // Keeping the low 32 bits is the wrap-around.
    return static_cast<std::uint32_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

} // namespace qor
