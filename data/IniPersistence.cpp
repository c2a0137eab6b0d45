#include "data/IniPersistence.h"

#include "data/SerialData.h"
#include "framework/IniFiles.h"
#include "framework/SysUtils.h"

namespace qor {

bool TryParseUserFloat(std::string_view Text, double& Value) {
    const char separator = FormatSettings().DecimalSeparator;
    // A copy only when a mark is replaced; replacing never makes the other mark appear.
    std::string replaced;
    for (const char mark : {'.', ','}) {
        if (separator == mark)
            continue;
        const std::size_t at = Text.find(mark);
        if (at == std::string_view::npos)
            continue;
        if (replaced.empty())
            replaced.assign(Text);
        replaced[at] = separator;
    }
    return TryStrToFloat(replaced.empty() ? Text : std::string_view(replaced), Value);
}

bool HexTokenAt(int Index, std::string_view Text, int& Value) {
    if (Text.empty() || Index < 0)
        return false;
    std::string rest = Trim(Text);
    for (int i = 0;; ++i) {
        const std::size_t blank = rest.find(' ');
        if (blank == std::string::npos) {
            if (i != Index)
                return false;
            Value = StrToIntDef("0x0" + rest, 0);
            return true;
        }
        if (i == Index) {
            Value = StrToIntDef("0x0" + rest.substr(0, blank), 0);
            return true;
        }
        rest = TrimLeft(std::string_view(rest).substr(blank + 1));
    }
}

TIniPlace IniPlace(const TQorSerialData& Data) {
    const bool noSection = Data.FileSection().empty();
    const bool noKey = Data.FileKeyName().empty();
    if (noSection && noKey)
        return TIniPlace::Unset;
    return noSection || noKey ? TIniPlace::HalfSet : TIniPlace::Set;
}

std::string UserValueText(double Value) {
    return FormatG(Value);
}

void AppendHexField(std::string& Line, std::uint32_t Value) {
    if (!Line.empty())
        Line += ' ';
    Line += FormatX(Value);
}

bool ReadIniInteger(TCustomIniFile& Ini, const std::string& Section, const std::string& Key,
                    int& Value) {
    // Two defaults that differ tell a text that is no integer from one that reads as one.
    const int a = Ini.ReadInteger(Section, Key, 0);
    if (a != Ini.ReadInteger(Section, Key, 1))
        return false;
    Value = a;
    return true;
}

int CommandHexValue(std::string_view Field) {
    std::string text = "0x0";
    text += Field;
    return StrToInt(text);
}

bool ReadCommandFieldOf(const TQorSerialData& Data, TCustomIniFile& Ini, int Index, int* Value) {
    const std::string& section = Data.FileSection();
    const std::string& key = Data.FileKeyName();
    if (IniPlace(Data) == TIniPlace::Unset || !Ini.ValueExists(section, key))
        return false;
    int field = 0;
    if (!HexTokenAt(Index, Ini.ReadString(section, key, ""), field))
        return false;
    *Value = field;
    return true;
}

std::string_view AfterFirstBlank(std::string_view Text) {
    const std::size_t blank = Text.find(' ');
    return blank == std::string_view::npos ? Text : Text.substr(blank + 1);
}

} // namespace qor
