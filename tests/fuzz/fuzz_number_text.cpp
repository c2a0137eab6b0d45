// Fuzz target: the framework's number texts and the INI value parsers on arbitrary text,
// with '.' or ',' as decimal separator. What is read must write back to a text that reads
// the same value again (integers exactly, floats through the framework's own format).

#include "data/IniPersistence.h"
#include "framework/SysUtils.h"

#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace qor;

namespace {

void CheckFloat(double Value) {
    if (!std::isfinite(Value))
        std::abort(); // the readers reject INF and NAN
    double back = 0;
    if (!TryStrToFloat(FloatToStr(Value), back))
        std::abort();
    // FloatToStr keeps 15 significant digits.
    if (std::fabs(back - Value) > std::fabs(Value) * 1e-14)
        std::abort();
    if (!TryParseUserFloat(UserValueText(Value), back))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* Data, std::size_t Size) {
    if (Size < 1)
        return 0;
    TFormatSettings settings;
    settings.DecimalSeparator = Data[0] & 1 ? ',' : '.';
    settings.ThousandSeparator = Data[0] & 1 ? '.' : ',';
    TFormatSettingsGuard guard(settings);
    const std::string_view text(reinterpret_cast<const char*>(Data) + 1, Size - 1);

    int i = 0;
    if (TryStrToInt(text, i)) {
        int back = 0;
        if (!TryStrToInt(IntToStr(i), back) || back != i)
            std::abort();
        if (!TryStrToInt("$" + IntToHex(i, Data[0] >> 4), back) || back != i)
            std::abort();
        if (StrToIntDef(text, i == 0 ? 1 : 0) != i)
            std::abort();
    }
    double d = 0;
    if (TryStrToFloat(text, d))
        CheckFloat(d);
    if (TryParseUserFloat(text, d))
        CheckFloat(d);
    for (int index = -1; index < 20; ++index) {
        int field = 0;
        if (!HexTokenAt(index, text, field))
            break;
    }
    try {
        CommandHexValue(text);
    } catch (const EConvertError&) {
    }
    std::string_view after = AfterFirstBlank(text);
    if (after.size() > text.size())
        std::abort();
    FormatG(d);
    FormatX(static_cast<std::uint32_t>(i));
    Trim(text);
    return 0;
}
