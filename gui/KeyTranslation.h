#pragma once
// Translation between Qt key events and the framework's keyboard: virtual-key codes, the
// shift state and the character a key types.

#include "gui/Keys.h"

#include <Qt>
#include <optional>

class QKeyEvent;

namespace qor {

// The virtual-key code of a Qt key, 0 for keys that have none (modifiers alone give
// VK_SHIFT, VK_CONTROL and VK_MENU).
Word VirtualKeyFromQt(int QtKey, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
// The Qt key of a virtual-key code, Qt::Key_unknown when there is none.
int QtKeyFromVirtualKey(Word Key);

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers Modifiers);

// The character a key event types, as KeyPress receives it: Ctrl with a letter gives the
// control character (Ctrl+A 1 ... Ctrl+Z 26), Enter 13, Esc 27, Backspace 8, Tab 9;
// keys that type nothing (arrows, function keys, Delete, Alt combinations) give nothing.
// Characters beyond Latin-1 give nothing either: they pass to the widget untouched.
std::optional<char> CharFromKeyEvent(const QKeyEvent& Event);

} // namespace qor
