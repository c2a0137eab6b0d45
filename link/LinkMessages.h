#pragma once
// Window messages of the link layer.

#include "framework/Messages.h"

namespace qor {

// Sent by the refresh pass to a control registered for live data; WParam is the address
// of the buffer just read, LParam 0.
constexpr unsigned WM_DATA_REFRESHED = WM_APP + 0x178; // 0x8178

} // namespace qor
