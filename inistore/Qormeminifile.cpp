#include "inistore/Qormeminifile.h"

#include "framework/TextCompare.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace qor {

namespace {

// S without its leading and trailing characters of code 32 or less.
std::string_view TrimBlanks(std::string_view S) {
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= 32; };
    while (!S.empty() && blank(S.front()))
        S.remove_prefix(1);
    while (!S.empty() && blank(S.back()))
        S.remove_suffix(1);
    return S;
}

// The value of a line that the name index found under Ident: the name part of that line
// equals Ident and ends at its first '=', so the value starts right after Ident's length.
std::string_view ValueAfter(std::string_view Line, const std::string& Ident) {
    return Line.substr(Ident.size() + 1);
}

// Appends Text to the rendered text at Out.
char* Put(char* Out, std::string_view Text) {
    if (!Text.empty())
        std::memcpy(Out, Text.data(), Text.size());
    return Out + Text.size();
}

} // namespace

TMemIniData::TMemIniData(std::uint8_t*& Buffer) : TCustomIniFile(""), FBufferRef(&Buffer) {
    LoadValues();
}

TMemIniData::TMemIniData(std::uint8_t*& Buffer, std::size_t BufferSize)
    : TCustomIniFile(""), FBufferRef(&Buffer) {
    LoadValues(BufferSize);
}

TMemIniData::~TMemIniData() {
    Clear();
}

void TMemIniData::LoadValues() {
    const std::uint8_t* block = *FBufferRef;
    if (block && block == FSizedBlock)
        Parse(MemIniBlockText(block, FSizedBlockSize));
    else
        Parse(MemIniBlockText(block));
}

void TMemIniData::LoadValues(std::size_t BufferSize) {
    FSizedBlock = *FBufferRef;
    FSizedBlockSize = BufferSize;
    Parse(MemIniBlockText(FSizedBlock, BufferSize));
}

void TMemIniData::Parse(std::string_view Text) {
    Clear();
    THashedStringList* section = nullptr;
    std::string line; // reused, so that storing a line allocates only the list's copy
    // Split at CR LF, CR or LF.
    const char* const end = Text.data() + Text.size();
    for (const char* p = Text.data(); p < end;) {
        const char* stop = p;
        while (stop < end && *stop != '\r' && *stop != '\n')
            ++stop;
        ParseLine(std::string_view(p, static_cast<std::size_t>(stop - p)), section, line);
        if (stop < end && *stop == '\r' && stop + 1 < end && stop[1] == '\n')
            ++stop;
        p = stop + 1;
    }
}

void TMemIniData::SetStrings(const TStrings& Strings) {
    Clear();
    THashedStringList* section = nullptr;
    std::string line;
    for (int i = 0; i < Strings.Count(); ++i)
        ParseLine(Strings[i], section, line);
}

void TMemIniData::ParseLine(std::string_view Source, THashedStringList*& Section,
                            std::string& Line) {
    const std::string_view text = TrimBlanks(Source);
    if (text.empty() || text.front() == ';')
        return;
    if (text.front() == '[' && text.back() == ']') { // so a lone '[' is a plain line
        Section = &AddSection(std::string(TrimBlanks(text.substr(1, text.size() - 2))));
        return;
    }
    if (!Section)
        return; // before the first section
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        Line.assign(text);
    } else {
        // Blanks before '=' go; those after it stay part of the value.
        Line.assign(TrimBlanks(text.substr(0, equals)));
        Line.append(text.substr(equals));
    }
    Section->Add(Line);
}

void TMemIniData::Clear() {
    FFoundLines = nullptr;
    FSections.Clear();
    FSectionLines.clear();
}

THashedStringList& TMemIniData::AddSection(const std::string& Name) {
    auto lines = std::make_unique<THashedStringList>();
    // Room first, so that the two lists stay in step; growing geometrically, as a
    // vector's reserve takes exactly what it is asked for.
    if (FSectionLines.size() == FSectionLines.capacity())
        FSectionLines.reserve(std::max<std::size_t>(8, 2 * FSectionLines.capacity()));
    FSections.Add(Name);
    FSectionLines.push_back(std::move(lines));
    return *FSectionLines.back();
}

THashedStringList* TMemIniData::FindSection(const std::string& Name) const {
    // Saving or loading a map asks for one section once per cell.
    if (FFoundLines && SameText(FFoundName, Name))
        return FFoundLines;
    const int index = FSections.IndexOf(Name);
    if (index < 0)
        return nullptr;
    FFoundLines = FSectionLines[static_cast<std::size_t>(index)].get();
    FFoundName = Name;
    return FFoundLines;
}

std::string TMemIniData::ReadString(const std::string& Section, const std::string& Ident,
                                    const std::string& Default) {
    const THashedStringList* lines = FindSection(Section);
    if (!lines)
        return Default;
    const int index = lines->IndexOfName(Ident);
    return index < 0 ? Default : std::string(ValueAfter(lines->Line(index), Ident));
}

bool TMemIniData::TryReadString(const std::string& Section, const std::string& Ident,
                                std::string& Value) {
    // An empty Ident takes ValueExists' own answer (lines without '=').
    if (Ident.empty())
        return TCustomIniFile::TryReadString(Section, Ident, Value);
    const THashedStringList* lines = FindSection(Section);
    const int index = lines ? lines->IndexOfName(Ident) : -1;
    if (index < 0)
        return false;
    Value.assign(ValueAfter(lines->Line(index), Ident));
    return true;
}

void TMemIniData::WriteString(const std::string& Section, const std::string& Ident,
                              const std::string& Value) {
    THashedStringList* lines = FindSection(Section);
    if (!lines)
        lines = &AddSection(Section);
    // Built in a buffer that the store keeps, so that storing allocates only the list's copy.
    FLine.assign(Ident);
    FLine += '=';
    FLine.append(Value);
    const int index = lines->IndexOfName(Ident);
    if (index < 0)
        lines->Add(FLine);
    else
        lines->SetStrings(index, FLine);
}

void TMemIniData::ReadSection(const std::string& Section, TStrings& Strings) {
    TStringsUpdate update(Strings);
    Strings.Clear();
    if (const THashedStringList* lines = FindSection(Section))
        for (int i = 0; i < lines->Count(); ++i)
            Strings.Add(lines->Names(i));
}

void TMemIniData::ReadSections(TStrings& Strings) {
    Strings.Assign(FSections);
}

void TMemIniData::ReadSections(const std::string& Section, TStrings& Strings) {
    TCustomIniFile::ReadSections(Section, Strings);
}

void TMemIniData::ReadSectionValues(const std::string& Section, TStrings& Strings) {
    TStringsUpdate update(Strings);
    Strings.Clear();
    if (const THashedStringList* lines = FindSection(Section))
        Strings.AddStrings(*lines);
}

void TMemIniData::EraseSection(const std::string& Section) {
    const int index = FSections.IndexOf(Section);
    if (index < 0)
        return;
    FFoundLines = nullptr;
    FSections.Delete(index);
    FSectionLines.erase(FSectionLines.begin() + index);
}

void TMemIniData::DeleteKey(const std::string& Section, const std::string& Ident) {
    if (THashedStringList* lines = FindSection(Section)) {
        const int index = lines->IndexOfName(Ident);
        if (index >= 0)
            lines->Delete(index);
    }
}

bool TMemIniData::ValueExists(const std::string& Section, const std::string& Ident) {
    // Only the base class's listing gives an empty Ident the name of lines without '='.
    if (Ident.empty())
        return TCustomIniFile::ValueExists(Section, Ident);
    const THashedStringList* lines = FindSection(Section);
    return lines && lines->IndexOfName(Ident) >= 0;
}

void TMemIniData::GetStrings(TStrings& Strings) const {
    TStringsUpdate update(Strings);
    for (int s = 0; s < FSections.Count(); ++s) {
        std::string header = FSections[s];
        header.insert(header.begin(), '[');
        header.push_back(']');
        Strings.Add(header);
        Strings.AddStrings(*FSectionLines[static_cast<std::size_t>(s)]);
        Strings.Add("");
    }
}

void TMemIniData::UpdateFile() {
    // The text of GetStrings, each line followed by CR LF, written straight into the new
    // block: first its size, then the lines.
    static constexpr std::string_view lineEnd = "\r\n";
    const int sections = FSections.Count();
    std::size_t size = 0;
    for (int s = 0; s < sections; ++s) {
        size += FSections.Line(s).size() + 2 + lineEnd.size() + lineEnd.size(); // [name] and ""
        const THashedStringList& lines = *FSectionLines[static_cast<std::size_t>(s)];
        for (int i = 0; i < lines.Count(); ++i)
            size += lines.Line(i).size() + lineEnd.size();
    }
    // The new block is complete before the caller's old one goes, so a failure leaves the
    // caller's block in place.
    std::uint8_t* block = NewMemIniBlock(size);
    char* out = MemIniBlockTextStart(block);
    for (int s = 0; s < sections; ++s) {
        out = Put(Put(Put(Put(out, "["), FSections.Line(s)), "]"), lineEnd);
        const THashedStringList& lines = *FSectionLines[static_cast<std::size_t>(s)];
        for (int i = 0; i < lines.Count(); ++i)
            out = Put(Put(out, lines.Line(i)), lineEnd);
        out = Put(out, lineEnd);
    }
    FreeMemIniBlock(*FBufferRef);
    *FBufferRef = block;
    FSizedBlock = block;
    FSizedBlockSize = MemIniLengthSize + size + 1;
}

void TMemIniData::SaveToFile(const std::string& FileName) const {
    TStringList lines;
    GetStrings(lines);
    lines.SaveToFile(FileName);
}

} // namespace qor
