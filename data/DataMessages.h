#pragma once
// Window messages that data components send to their clients.

#include "framework/Messages.h"
#include "link/LinkMessages.h"

namespace qor {

// The value was read, written, decoded, loaded or refused. WParam: the data object that
// sent it first; LParam: 0.
constexpr unsigned WM_DATA_CHANGED = WM_APP + 0x173; // 0x8173
// A map's dimensions or type changed. WParam: ColCount; LParam: RowCount.
constexpr unsigned WM_DATA_RESIZED = WM_APP + 0x175; // 0x8175
// A read left a nonzero status word. WParam: the data object; LParam: the status word.
constexpr unsigned WM_DATA_STATUS = WM_APP + 0x179; // 0x8179

} // namespace qor
