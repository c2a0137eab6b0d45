#include "gui/KeyTranslation.h"

#include <QKeyEvent>
#include <array>
#include <utility>

namespace qor {

namespace {

constexpr std::array<std::pair<int, Word>, 43> NamedKeys{{
    {Qt::Key_Backspace, VK_BACK},
    {Qt::Key_Tab, VK_TAB},
    {Qt::Key_Backtab, VK_TAB},
    {Qt::Key_Return, VK_RETURN},
    {Qt::Key_Enter, VK_RETURN},
    {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL},
    {Qt::Key_Alt, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},
    {Qt::Key_CapsLock, VK_CAPITAL},
    {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},
    {Qt::Key_PageUp, VK_PRIOR},
    {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},
    {Qt::Key_Home, VK_HOME},
    {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},
    {Qt::Key_Right, VK_RIGHT},
    {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},
    {Qt::Key_NumLock, VK_NUMLOCK},
    {Qt::Key_ScrollLock, VK_SCROLL},
    {Qt::Key_Semicolon, VK_OEM_1},
    {Qt::Key_Colon, VK_OEM_1},
    {Qt::Key_Equal, VK_OEM_PLUS},
    {Qt::Key_Plus, VK_OEM_PLUS},
    {Qt::Key_Comma, VK_OEM_COMMA},
    {Qt::Key_Less, VK_OEM_COMMA},
    {Qt::Key_Minus, VK_OEM_MINUS},
    {Qt::Key_Underscore, VK_OEM_MINUS},
    {Qt::Key_Period, VK_OEM_PERIOD},
    {Qt::Key_Greater, VK_OEM_PERIOD},
    {Qt::Key_Slash, VK_OEM_2},
    {Qt::Key_Question, VK_OEM_2},
    {Qt::Key_QuoteLeft, VK_OEM_3},
    {Qt::Key_AsciiTilde, VK_OEM_3},
    {Qt::Key_BracketLeft, VK_OEM_4},
    {Qt::Key_Backslash, VK_OEM_5},
    {Qt::Key_BracketRight, VK_OEM_6},
    {Qt::Key_Apostrophe, VK_OEM_7},
    {Qt::Key_QuoteDbl, VK_OEM_7},
}};

// Keypad keys whose virtual-key code differs from the main keyboard's.
Word KeypadKey(int QtKey) {
    if (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9)
        return static_cast<Word>(VK_NUMPAD0 + (QtKey - Qt::Key_0));
    switch (QtKey) {
    case Qt::Key_Asterisk:
        return VK_MULTIPLY;
    case Qt::Key_Plus:
        return VK_ADD;
    case Qt::Key_Minus:
        return VK_SUBTRACT;
    case Qt::Key_Period:
    case Qt::Key_Comma:
        return VK_DECIMAL;
    case Qt::Key_Slash:
        return VK_DIVIDE;
    default:
        return 0;
    }
}

} // namespace

Word VirtualKeyFromQt(int QtKey, Qt::KeyboardModifiers Modifiers) {
    if (Modifiers & Qt::KeypadModifier)
        if (Word k = KeypadKey(QtKey))
            return k;
    if ((QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z) || (QtKey >= Qt::Key_0 && QtKey <= Qt::Key_9))
        return static_cast<Word>(QtKey); // Qt's codes for these are their ASCII codes
    if (QtKey >= Qt::Key_F1 && QtKey <= Qt::Key_F24)
        return static_cast<Word>(VK_F1 + (QtKey - Qt::Key_F1));
    for (const auto& [qt, vk] : NamedKeys)
        if (qt == QtKey)
            return vk;
    return 0;
}

int QtKeyFromVirtualKey(Word Key) {
    if ((Key >= 'A' && Key <= 'Z') || (Key >= '0' && Key <= '9'))
        return Key;
    if (Key >= VK_F1 && Key < VK_F1 + 24)
        return Qt::Key_F1 + (Key - VK_F1);
    for (const auto& [qt, vk] : NamedKeys)
        if (vk == Key)
            return qt; // the first entry is the unshifted key
    return Qt::Key_unknown;
}

TShiftState ShiftStateFromQt(Qt::KeyboardModifiers Modifiers) {
    TShiftState s;
    if (Modifiers & Qt::ShiftModifier)
        s |= ssShift;
    if (Modifiers & Qt::ControlModifier)
        s |= ssCtrl;
    if (Modifiers & Qt::AltModifier)
        s |= ssAlt;
    return s;
}

std::optional<char> CharFromKeyEvent(const QKeyEvent& Event) {
    const Qt::KeyboardModifiers mods = Event.modifiers();
    const int key = Event.key();
    if (mods & Qt::AltModifier)
        return std::nullopt; // Alt combinations are accelerators, they type nothing
    if (mods & Qt::ControlModifier) {
        if (key >= Qt::Key_A && key <= Qt::Key_Z)
            return static_cast<char>(key - Qt::Key_A + 1);
        return std::nullopt;
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return '\r';
    case Qt::Key_Escape:
        return '\x1b';
    case Qt::Key_Backspace:
        return '\b';
    case Qt::Key_Tab:
        return '\t';
    case Qt::Key_Delete:
        return std::nullopt;
    default:
        break;
    }
    const QString text = Event.text();
    if (text.size() != 1)
        return std::nullopt;
    const char16_t c = text.at(0).unicode();
    if (c < 0x20 || c == 0x7F || c > 0xFF)
        return std::nullopt;
    return static_cast<char>(static_cast<unsigned char>(c));
}

} // namespace qor
