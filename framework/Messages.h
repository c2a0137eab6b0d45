#pragma once
// Window messages as the framework passes them to controls.

#include <cstdint>

namespace qor {

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

struct TMessage {
    unsigned Msg = 0;
    WPARAM WParam = 0;
    LPARAM LParam = 0;
    LRESULT Result = 0;
};

// First message number free for applications and components.
constexpr unsigned WM_APP = 0x8000;

} // namespace qor
