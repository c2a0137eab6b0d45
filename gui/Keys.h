#pragma once
// Keyboard as the framework's controls see it: virtual-key codes and the shift state.

#include <cstdint>

namespace qor {

using Word = std::uint16_t;

constexpr Word VK_BACK = 8;
constexpr Word VK_TAB = 9;
constexpr Word VK_RETURN = 13;
constexpr Word VK_SHIFT = 16;
constexpr Word VK_CONTROL = 17;
constexpr Word VK_MENU = 18;
constexpr Word VK_PAUSE = 19;
constexpr Word VK_CAPITAL = 20;
constexpr Word VK_ESCAPE = 27;
constexpr Word VK_SPACE = 32;
constexpr Word VK_PRIOR = 33;
constexpr Word VK_NEXT = 34;
constexpr Word VK_END = 35;
constexpr Word VK_HOME = 36;
constexpr Word VK_LEFT = 37;
constexpr Word VK_UP = 38;
constexpr Word VK_RIGHT = 39;
constexpr Word VK_DOWN = 40;
constexpr Word VK_INSERT = 45;
constexpr Word VK_DELETE = 46;
// Digits are '0'..'9' (48..57) and letters 'A'..'Z' (65..90), as on the key caps.
constexpr Word VK_NUMPAD0 = 96;
constexpr Word VK_MULTIPLY = 106;
constexpr Word VK_ADD = 107;
constexpr Word VK_SUBTRACT = 109;
constexpr Word VK_DECIMAL = 110;
constexpr Word VK_DIVIDE = 111;
constexpr Word VK_F1 = 112; // VK_F1 + n - 1 is Fn, up to F24
constexpr Word VK_NUMLOCK = 144;
constexpr Word VK_SCROLL = 145;
constexpr Word VK_OEM_1 = 186;      // ;:
constexpr Word VK_OEM_PLUS = 187;   // =+
constexpr Word VK_OEM_COMMA = 188;  // ,<
constexpr Word VK_OEM_MINUS = 189;  // -_
constexpr Word VK_OEM_PERIOD = 190; // .>
constexpr Word VK_OEM_2 = 191;      // /?
constexpr Word VK_OEM_3 = 192;      // `~
constexpr Word VK_OEM_4 = 219;      // [{
constexpr Word VK_OEM_5 = 220;      // \|
constexpr Word VK_OEM_6 = 221;      // ]}
constexpr Word VK_OEM_7 = 222;      // '"

enum TShiftStateFlag : unsigned {
    ssShift = 1u << 0,
    ssAlt = 1u << 1,
    ssCtrl = 1u << 2,
};

// A set of TShiftStateFlag values.
class TShiftState {
public:
    constexpr TShiftState() = default;
    constexpr TShiftState(TShiftStateFlag f) : Bits(f) {}
    constexpr bool Contains(TShiftStateFlag f) const { return (Bits & f) != 0; }
    constexpr bool Empty() const { return Bits == 0; }
    constexpr TShiftState& operator|=(TShiftState o) {
        Bits |= o.Bits;
        return *this;
    }
    friend constexpr TShiftState operator|(TShiftState a, TShiftState b) { return a |= b; }
    friend constexpr bool operator==(TShiftState, TShiftState) = default;

private:
    unsigned Bits = 0;
};

constexpr TShiftState operator|(TShiftStateFlag a, TShiftStateFlag b) {
    return TShiftState(a) | TShiftState(b);
}

} // namespace qor
