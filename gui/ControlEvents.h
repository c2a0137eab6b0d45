#pragma once
// What a control's widget does with Qt's events: it hands them to the control's hooks,
// catching every exception on the way (see EventExceptions.h).

#include <QKeyEvent>
#include <memory>

class QFocusEvent;
class QPainter;

namespace qor {

class TWinControl;

class TControlEvents {
public:
    enum class TKeyResult {
        Pass,      // deliver the event as it is
        Swallowed, // a handler set the key to 0: deliver nothing
        Replaced,  // deliver the replacement instead
    };

    // A key press: KeyDown with the virtual-key code and shift state, then KeyPress with
    // the character, if the key types one. Tab and Shift+Tab only reach KeyDown; when not
    // swallowed they move the focus as usual.
    static TKeyResult Key(TWinControl& Control, const QKeyEvent& Event,
                          std::unique_ptr<QKeyEvent>& Replacement);
    static void FocusIn(TWinControl& Control, const QFocusEvent& Event);
    static void FocusOut(TWinControl& Control, const QFocusEvent& Event);
    // The control is going away.
    static void Forget(TWinControl& Control);
    static void Click(TWinControl& Control);
    static void Paint(TWinControl& Control, QPainter& Canvas);
    static void Resize(TWinControl& Control);

    // True for Tab and Shift+Tab without Ctrl or Alt: keys Qt uses to move the focus.
    static bool IsFocusKey(const QKeyEvent& Event);
};

} // namespace qor
