#pragma once
// Colours as the framework keeps them: 0x00BBGGRR, red in the low byte.

#include "framework/Properties.h"

#include <cstdint>
#include <optional>
#include <string>

class QColor;

namespace qor {

using TColor = std::int32_t;

constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;
// The colour of a button face and of a window background, as a plain colour: we do not
// translate system colours.
constexpr TColor clBtnFace = 0xF0F0F0;
constexpr TColor clWindow = 0xFFFFFF;
constexpr TColor clWindowText = 0x000000;

constexpr TColor RGB(int R, int G, int B) {
    return static_cast<TColor>((R & 0xFF) | (G & 0xFF) << 8 | (B & 0xFF) << 16);
}
constexpr int GetRValue(TColor C) {
    return C & 0xFF;
}
constexpr int GetGValue(TColor C) {
    return (C >> 8) & 0xFF;
}
constexpr int GetBValue(TColor C) {
    return (C >> 16) & 0xFF;
}

QColor ColorToQColor(TColor Color);
TColor QColorToColor(const QColor& Color);

// "clRed" for a named colour, nothing for any other value.
std::optional<std::string> ColorToIdent(TColor Color);
// The colour named by an identifier such as clRed (case-insensitive).
std::optional<TColor> IdentToColor(const std::string& Ident);

// A colour as it stands in a form file: a clXxx identifier when it has a name, else an
// integer; reading accepts both and raises std::invalid_argument for anything else.
TValue ColorToValue(TColor Color);
TColor ValueToColor(const TValue& Value);

// Publishes a colour property that reads and writes colour names.
template <class C, class G, class S>
void PublishColor(TPublisher<C>& P, std::string Name, G Getter, S Setter, TColor Default) {
    P.Value(
        std::move(Name), [Getter](const C& o) { return ColorToValue(std::invoke(Getter, o)); },
        [Setter](C& o, const TValue& v) { std::invoke(Setter, o, ValueToColor(v)); },
        ColorToValue(Default));
}

} // namespace qor
