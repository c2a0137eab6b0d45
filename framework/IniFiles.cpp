#include "framework/IniFiles.h"

#include "framework/SysUtils.h"
#include "framework/TextCompare.h"

#include <filesystem>
#include <system_error>

namespace qor {

// ---- TCustomIniFile: typed values and listings on top of the string operations

bool TCustomIniFile::SectionExists(const std::string& Section) {
    TStringList keys;
    ReadSection(Section, keys);
    return keys.Count() > 0;
}

bool TCustomIniFile::TryReadString(const std::string& Section, const std::string& Ident,
                                   std::string& Value) {
    if (!ValueExists(Section, Ident))
        return false;
    Value = ReadString(Section, Ident, "");
    return true;
}

int TCustomIniFile::ReadInteger(const std::string& Section, const std::string& Ident, int Default) {
    return StrToIntDef(ReadString(Section, Ident, ""), Default);
}

void TCustomIniFile::WriteInteger(const std::string& Section, const std::string& Ident, int Value) {
    WriteString(Section, Ident, IntToStr(Value));
}

bool TCustomIniFile::ReadBool(const std::string& Section, const std::string& Ident, bool Default) {
    return ReadInteger(Section, Ident, Default ? 1 : 0) != 0;
}

void TCustomIniFile::WriteBool(const std::string& Section, const std::string& Ident, bool Value) {
    WriteString(Section, Ident, Value ? "1" : "0");
}

int TCustomIniFile::ReadBinaryStream(const std::string& Section, const std::string& Name,
                                     std::vector<std::uint8_t>& Value) {
    const std::string text = ReadString(Section, Name, "");
    Value.clear();
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        const int high = HexDigitValue(text[i]);
        const int low = HexDigitValue(text[i + 1]);
        if (high < 0 || low < 0)
            break;
        Value.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return static_cast<int>(Value.size());
}

TDateTime TCustomIniFile::ReadDate(const std::string& Section, const std::string& Name,
                                   TDateTime Default) {
    TDateTime value = Default;
    TryISOToDate(ReadString(Section, Name, ""), value);
    return value;
}

TDateTime TCustomIniFile::ReadDateTime(const std::string& Section, const std::string& Name,
                                       TDateTime Default) {
    TDateTime value = Default;
    TryISOToDateTime(ReadString(Section, Name, ""), value);
    return value;
}

double TCustomIniFile::ReadFloat(const std::string& Section, const std::string& Name,
                                 double Default) {
    double value = Default;
    TryStrToFloat(ReadString(Section, Name, ""), value);
    return value;
}

TDateTime TCustomIniFile::ReadTime(const std::string& Section, const std::string& Name,
                                   TDateTime Default) {
    TDateTime value = Default;
    TryISOToTime(ReadString(Section, Name, ""), value);
    return value;
}

void TCustomIniFile::WriteBinaryStream(const std::string& Section, const std::string& Name,
                                       std::span<const std::uint8_t> Value) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(Value.size() * 2);
    for (const std::uint8_t byte : Value) {
        text += digits[byte >> 4];
        text += digits[byte & 0x0F];
    }
    WriteString(Section, Name, text);
}

void TCustomIniFile::WriteDate(const std::string& Section, const std::string& Name,
                               TDateTime Value) {
    WriteString(Section, Name, DateToISO(Value));
}

void TCustomIniFile::WriteDateTime(const std::string& Section, const std::string& Name,
                                   TDateTime Value) {
    WriteString(Section, Name, DateTimeToISO(Value));
}

void TCustomIniFile::WriteFloat(const std::string& Section, const std::string& Name, double Value) {
    WriteString(Section, Name, FloatToStr(Value));
}

void TCustomIniFile::WriteTime(const std::string& Section, const std::string& Name,
                               TDateTime Value) {
    WriteString(Section, Name, TimeToISO(Value));
}

void TCustomIniFile::ReadSections(const std::string& Section, TStrings& Strings) {
    TStringList all;
    ReadSections(all);
    const std::string prefix = Section.empty() ? std::string() : Section + "\\";
    TStringsUpdate update(Strings);
    Strings.Clear();
    for (int i = 0; i < all.Count(); ++i) {
        const std::string name = all[i];
        if (name.size() >= prefix.size() &&
            SameText(std::string_view(name).substr(0, prefix.size()), prefix))
            Strings.Add(name);
    }
}

void TCustomIniFile::ReadSubSections(const std::string& Section, TStrings& Strings, bool Recurse) {
    TStringList below;
    ReadSections(Section, below);
    const std::size_t skip = Section.empty() ? 0 : Section.size() + 1;
    THashedStringList found; // each name once, ignoring case
    for (int i = 0; i < below.Count(); ++i) {
        std::string name = below[i].substr(skip);
        if (!Recurse)
            name = name.substr(0, name.find('\\'));
        if (!name.empty() && found.IndexOf(name) < 0)
            found.Add(name);
    }
    Strings.Assign(found);
}

bool TCustomIniFile::ValueExists(const std::string& Section, const std::string& Ident) {
    TStringList keys;
    ReadSection(Section, keys);
    return keys.IndexOf(Ident) >= 0;
}

// ---- TIniFile

TIniFile::TIniFile(std::string FileName) : TCustomIniFile(std::move(FileName)) {
    std::error_code error;
    if (this->FileName().empty() || !std::filesystem::exists(this->FileName(), error))
        return;
    TStringList lines;
    lines.LoadFromFile(this->FileName());
    SetStrings(lines);
}

THashedStringList* TIniFile::FindSection(const std::string& Name) const {
    const int index = FSections.IndexOf(Name);
    return index < 0 ? nullptr : FSectionLines[static_cast<std::size_t>(index)].get();
}

THashedStringList& TIniFile::AddSection(const std::string& Name) {
    auto lines = std::make_unique<THashedStringList>();
    // Room first, so that a failing push_back cannot leave the two lists out of step; the
    // room grows geometrically so that many sections stay linear.
    if (FSectionLines.size() == FSectionLines.capacity())
        FSectionLines.reserve(FSectionLines.size() < 8 ? 8 : FSectionLines.size() * 2);
    FSections.Add(Name);
    FSectionLines.push_back(std::move(lines));
    return *FSectionLines.back();
}

std::string TIniFile::ReadString(const std::string& Section, const std::string& Ident,
                                 const std::string& Default) {
    const THashedStringList* lines = FindSection(Section);
    if (!lines)
        return Default;
    const int index = lines->IndexOfName(Ident);
    return index < 0 ? Default : lines->ValueFromIndex(index);
}

void TIniFile::WriteString(const std::string& Section, const std::string& Ident,
                           const std::string& Value) {
    THashedStringList* lines = FindSection(Section);
    if (!lines)
        lines = &AddSection(Section);
    const std::string line = Ident + "=" + Value;
    const int index = lines->IndexOfName(Ident);
    if (index < 0)
        lines->Add(line);
    else
        lines->SetStrings(index, line);
}

void TIniFile::ReadSection(const std::string& Section, TStrings& Strings) {
    TStringsUpdate update(Strings);
    Strings.Clear();
    if (const THashedStringList* lines = FindSection(Section))
        for (int i = 0; i < lines->Count(); ++i)
            Strings.Add(lines->Names(i));
}

void TIniFile::ReadSections(TStrings& Strings) {
    Strings.Assign(FSections);
}

void TIniFile::ReadSectionValues(const std::string& Section, TStrings& Strings) {
    TStringsUpdate update(Strings);
    Strings.Clear();
    if (const THashedStringList* lines = FindSection(Section))
        Strings.AddStrings(*lines);
}

void TIniFile::EraseSection(const std::string& Section) {
    const int index = FSections.IndexOf(Section);
    if (index < 0)
        return;
    FSections.Delete(index);
    FSectionLines.erase(FSectionLines.begin() + index);
}

void TIniFile::DeleteKey(const std::string& Section, const std::string& Ident) {
    if (THashedStringList* lines = FindSection(Section)) {
        const int index = lines->IndexOfName(Ident);
        if (index >= 0)
            lines->Delete(index);
    }
}

void TIniFile::UpdateFile() {
    TStringList text;
    GetStrings(text);
    text.SaveToFile(FileName());
}

void TIniFile::Clear() {
    FSections.Clear();
    FSectionLines.clear();
}

void TIniFile::GetStrings(TStrings& Strings) const {
    TStringsUpdate update(Strings);
    for (int s = 0; s < FSections.Count(); ++s) {
        Strings.Add("[" + FSections[s] + "]");
        Strings.AddStrings(*FSectionLines[static_cast<std::size_t>(s)]);
        Strings.Add("");
    }
}

void TIniFile::SetStrings(const TStrings& Strings) {
    Clear();
    THashedStringList* section = nullptr;
    for (int i = 0; i < Strings.Count(); ++i) {
        const std::string line = Trim(Strings[i]);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[' && line.back() == ']') { // so a lone '[' is a plain line
            section = &AddSection(Trim(std::string_view(line).substr(1, line.size() - 2)));
            continue;
        }
        if (!section)
            continue; // before the first section
        const std::size_t equals = line.find('=');
        if (equals == std::string::npos)
            section->Add(line);
        else
            section->Add(TrimRight(std::string_view(line).substr(0, equals)) + line.substr(equals));
    }
}

} // namespace qor
