#include "gui/Graphics.h"

#include "framework/TextCompare.h"

#include <QColor>
#include <array>
#include <stdexcept>
#include <utility>

namespace qor {

namespace {

constexpr std::array<std::pair<const char*, TColor>, 16> ColorNames{{
    {"clBlack", clBlack},
    {"clMaroon", clMaroon},
    {"clGreen", clGreen},
    {"clOlive", clOlive},
    {"clNavy", clNavy},
    {"clPurple", clPurple},
    {"clTeal", clTeal},
    {"clGray", clGray},
    {"clSilver", clSilver},
    {"clRed", clRed},
    {"clLime", clLime},
    {"clYellow", clYellow},
    {"clBlue", clBlue},
    {"clFuchsia", clFuchsia},
    {"clAqua", clAqua},
    {"clWhite", clWhite},
}};

} // namespace

QColor ColorToQColor(TColor Color) {
    return QColor(GetRValue(Color), GetGValue(Color), GetBValue(Color));
}

TColor QColorToColor(const QColor& Color) {
    return RGB(Color.red(), Color.green(), Color.blue());
}

std::optional<std::string> ColorToIdent(TColor Color) {
    for (const auto& [name, value] : ColorNames)
        if (value == Color)
            return std::string(name);
    return std::nullopt;
}

std::optional<TColor> IdentToColor(const std::string& Ident) {
    for (const auto& [name, value] : ColorNames)
        if (SameText(Ident, name))
            return value;
    return std::nullopt;
}

TValue ColorToValue(TColor Color) {
    if (auto name = ColorToIdent(Color))
        return TValue(TIdent{*name});
    return TValue(static_cast<std::int64_t>(Color));
}

TColor ValueToColor(const TValue& Value) {
    if (Value.Is<std::int64_t>())
        return static_cast<TColor>(Value.As<std::int64_t>());
    if (Value.Is<TIdent>()) {
        if (auto color = IdentToColor(Value.As<TIdent>().Name))
            return *color;
        throw std::invalid_argument("'" + Value.As<TIdent>().Name + "' is not a colour");
    }
    throw std::invalid_argument("a colour was expected");
}

} // namespace qor
