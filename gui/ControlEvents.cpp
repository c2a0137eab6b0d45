#include "gui/ControlEvents.h"

#include "gui/EventExceptions.h"
#include "gui/KeyTranslation.h"
#include "gui/WinControl.h"

#include <QApplication>
#include <QFocusEvent>
#include <QWidget>

namespace qor {

namespace {

// The key event that types Ch in place of the original one.
std::unique_ptr<QKeyEvent> EventForChar(const QKeyEvent& Original, char Ch) {
    const auto code = static_cast<unsigned char>(Ch);
    Qt::KeyboardModifiers mods = Original.modifiers();
    int key = Qt::Key_unknown;
    switch (code) {
    case '\b':
        key = Qt::Key_Backspace;
        break;
    case '\t':
        key = Qt::Key_Tab;
        break;
    case '\r':
        key = Qt::Key_Return;
        break;
    case 0x1b:
        key = Qt::Key_Escape;
        break;
    default:
        if (code >= 1 && code <= 26) { // a control character is Ctrl with a letter
            key = Qt::Key_A + code - 1;
            mods |= Qt::ControlModifier;
        } else {
            key = QChar(code).toUpper().unicode();
            mods &= ~(Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier);
        }
    }
    const QString text(QChar(static_cast<char16_t>(code)));
    return std::make_unique<QKeyEvent>(QEvent::KeyPress, key, mods, text, Original.isAutoRepeat(),
                                       Original.count());
}

} // namespace

bool TControlEvents::IsFocusKey(const QKeyEvent& Event) {
    return (Event.key() == Qt::Key_Tab || Event.key() == Qt::Key_Backtab) &&
           !(Event.modifiers() & (Qt::ControlModifier | Qt::AltModifier));
}

TControlEvents::TKeyResult TControlEvents::Key(TWinControl& Control, const QKeyEvent& Event,
                                               std::unique_ptr<QKeyEvent>& Replacement) {
    // A handler that raises ends the key there: it reaches neither KeyPress nor the widget.
    TKeyResult result = TKeyResult::Pass;
    try {
        const Word original = VirtualKeyFromQt(Event.key(), Event.modifiers());
        Word key = original;
        if (key != 0) {
            Control.KeyDown(key, ShiftStateFromQt(Event.modifiers()));
            if (key == 0)
                return TKeyResult::Swallowed;
        }
        if (IsFocusKey(Event))
            return TKeyResult::Pass; // Tab types nothing here: it moves the focus unless swallowed
                                     // above
        const std::optional<char> typed = CharFromKeyEvent(Event);
        if (typed) {
            char ch = *typed;
            Control.KeyPress(ch);
            if (ch == 0)
                return TKeyResult::Swallowed;
            if (ch != *typed) {
                Replacement = EventForChar(Event, ch);
                return TKeyResult::Replaced;
            }
        }
        if (key != original) {
            const int qtKey = QtKeyFromVirtualKey(key);
            if (qtKey != Qt::Key_unknown) {
                Replacement = std::make_unique<QKeyEvent>(QEvent::KeyPress, qtKey,
                                                          Event.modifiers(), Event.text());
                result = TKeyResult::Replaced;
            }
        }
    } catch (...) {
        HandleEventException();
        return TKeyResult::Swallowed;
    }
    return result;
}

namespace {

// The control that was last entered and not yet exited. Only one window is active, so
// there is one such control at a time.
TWinControl* EnteredControl = nullptr;

} // namespace

void TControlEvents::FocusIn(TWinControl& Control, const QFocusEvent& Event) {
    // A closing popup (such as a combo box's own list) or a window coming back hands the
    // focus back to the control that had it: that is no entry.
    if (Event.reason() == Qt::PopupFocusReason || EnteredControl == &Control)
        return;
    // The focus may have moved while the window was inactive: the old control exits now.
    if (TWinControl* previous = EnteredControl) {
        EnteredControl = nullptr;
        GuardEvent([&] { previous->DoExit(); });
    }
    EnteredControl = &Control;
    GuardEvent([&] { Control.DoEnter(); });
}

void TControlEvents::FocusOut(TWinControl& Control, const QFocusEvent& Event) {
    // Opening a popup or switching to another window leaves the control active. So does
    // the focus going into a popup, as a combo box's list takes it when it first opens.
    if (Event.reason() == Qt::PopupFocusReason || Event.reason() == Qt::ActiveWindowFocusReason ||
        EnteredControl != &Control)
        return;
    if (const QWidget* now = QApplication::focusWidget();
        now && now->window()->windowType() == Qt::Popup)
        return;
    EnteredControl = nullptr;
    GuardEvent([&] { Control.DoExit(); });
}

void TControlEvents::Forget(TWinControl& Control) {
    if (EnteredControl == &Control)
        EnteredControl = nullptr;
}

void TControlEvents::Click(TWinControl& Control) {
    GuardEvent([&] { Control.Click(); });
}

void TControlEvents::Paint(TWinControl& Control, QPainter& Canvas) {
    GuardEvent([&] { Control.Paint(Canvas); });
}

void TControlEvents::Resize(TWinControl& Control) {
    GuardEvent([&] { Control.Resize(); });
}

} // namespace qor
