#pragma once
// Event types of the visual controls. Parameters passed by reference may be changed by
// the handler: a key set to 0 is swallowed, a replaced character is what gets typed.

#include "framework/Component.h"
#include "framework/NotifyEvent.h"
#include "gui/Keys.h"

#include <functional>

namespace qor {

using TKeyEvent = std::function<void(TObject* Sender, Word& Key, TShiftState Shift)>;
using TKeyPressEvent = std::function<void(TObject* Sender, char& Key)>;

} // namespace qor
