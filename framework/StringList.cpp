#include "framework/StringList.h"

#include "framework/FileErrors.h"
#include "framework/TextCompare.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <system_error>
#include <utility>

namespace qor {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

std::string SystemReason() {
    return std::generic_category().message(errno);
}

} // namespace

// ---- TStrings

int TStrings::Add(const std::string& S) {
    const int index = GetCount();
    Insert(index, S);
    return index;
}

void TStrings::Put(int Index, const std::string& S) {
    Delete(Index);
    Insert(Index, S);
}

int TStrings::CompareStrings(std::string_view S1, std::string_view S2) const {
    return CompareText(S1, S2);
}

int TStrings::IndexOf(std::string_view S) const {
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        if (CompareStrings(Get(i), S) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfName(std::string_view Name) const {
    const int count = GetCount();
    for (int i = 0; i < count; ++i) {
        const std::string line = Get(i);
        const std::size_t equals = line.find('=');
        if (equals != std::string::npos &&
            CompareStrings(std::string_view(line).substr(0, equals), Name) == 0)
            return i;
    }
    return -1;
}

std::string TStrings::Names(int Index) const {
    std::string line = Get(Index);
    const std::size_t equals = line.find('=');
    if (equals == std::string::npos)
        return {};
    line.resize(equals);
    return line;
}

std::string TStrings::ValueFromIndex(int Index) const {
    const std::string line = Get(Index);
    const std::size_t equals = line.find('=');
    return equals == std::string::npos ? std::string() : line.substr(equals + 1);
}

std::string TStrings::Values(std::string_view Name) const {
    const int index = IndexOfName(Name);
    return index < 0 ? std::string() : ValueFromIndex(index);
}

void TStrings::SetValues(std::string_view Name, std::string_view Value) {
    const int index = IndexOfName(Name);
    if (Value.empty()) {
        if (index >= 0)
            Delete(index);
        return;
    }
    std::string line;
    line.reserve(Name.size() + 1 + Value.size());
    line.append(Name).append("=").append(Value);
    if (index < 0)
        Add(line);
    else
        Put(index, line);
}

void TStrings::BeginUpdate() {
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate() {
    if (FUpdateCount == 0)
        return;
    if (--FUpdateCount == 0)
        SetUpdateState(false);
}

std::string TStrings::Text() const {
    std::string text;
    const int count = GetCount();
    for (int i = 0; i < count; ++i)
        text.append(Get(i)).append("\r\n");
    return text;
}

void TStrings::SetText(std::string_view Value) {
    TStringsUpdate update(*this);
    Clear();
    std::size_t start = 0;
    while (start < Value.size()) {
        const std::size_t end = Value.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            Add(std::string(Value.substr(start)));
            break;
        }
        Add(std::string(Value.substr(start, end - start)));
        start = end + 1;
        if (Value[end] == '\r' && start < Value.size() && Value[start] == '\n')
            ++start;
    }
}

void TStrings::AddStrings(const TStrings& Strings) {
    TStringsUpdate update(*this);
    const int count = Strings.GetCount(); // fixed first: Strings may be this list
    for (int i = 0; i < count; ++i)
        Add(Strings.Get(i));
}

void TStrings::Assign(const TStrings& Source) {
    if (&Source == this)
        return;
    TStringsUpdate update(*this);
    Clear();
    AddStrings(Source);
}

void TStrings::SaveToFile(const std::string& FileName) const {
    const std::string text = Text();
    FilePtr file(std::fopen(FileName.c_str(), "wb"));
    if (!file)
        throw EFCreateError("Cannot create file \"" + FileName + "\": " + SystemReason());
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size();
    // Closing flushes; a full disk may only show here.
    const bool closed = std::fclose(file.release()) == 0;
    if (!written || !closed)
        throw EFCreateError("Cannot write file \"" + FileName + "\": " + SystemReason());
}

void TStrings::LoadFromFile(const std::string& FileName) {
    FilePtr file(std::fopen(FileName.c_str(), "rb"));
    if (!file)
        throw EFOpenError("Cannot open file \"" + FileName + "\": " + SystemReason());
    std::string text;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        text.append(buffer, got);
    if (std::ferror(file.get()))
        throw EFOpenError("Cannot read file \"" + FileName + "\": " + SystemReason());
    SetText(text);
}

// ---- TStringList

void TStringList::RaiseIndexError(int Index) {
    throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
}

std::string TStringList::Get(int Index) const {
    return std::string(Line(Index));
}

int TStringList::GetCount() const {
    return static_cast<int>(FList.Count());
}

void TStringList::Put(int Index, const std::string& S) {
    CheckIndex(Index, static_cast<int>(FList.Count()));
    Changing();
    const std::string_view old = FList.Replace(static_cast<std::size_t>(Index), S);
    LineReplaced(Index, old);
    Changed();
}

void TStringList::Insert(int Index, const std::string& S) {
    CheckIndex(Index, static_cast<int>(FList.Count()) + 1);
    Changing();
    FList.Insert(static_cast<std::size_t>(Index), S);
    LineInserted(Index);
    Changed();
}

void TStringList::Delete(int Index) {
    CheckIndex(Index, static_cast<int>(FList.Count()));
    Changing();
    const std::string_view old = FList.Erase(static_cast<std::size_t>(Index));
    LineDeleted(Index, old);
    Changed();
}

void TStringList::Clear() {
    if (FList.Empty())
        return;
    Changing();
    FList.Clear();
    LinesReset();
    Changed();
}

void TStringList::Sort() {
    if (FList.Count() < 2)
        return;
    Changing();
    FList.StableSort(
        [this](std::string_view a, std::string_view b) { return CompareStrings(a, b) < 0; });
    LinesReset();
    Changed();
}

void TStringList::SetCaseSensitive(bool Value) {
    if (Value == FCaseSensitive)
        return;
    FCaseSensitive = Value;
    LinesReset();
}

int TStringList::CompareStrings(std::string_view S1, std::string_view S2) const {
    if (!FCaseSensitive)
        return CompareText(S1, S2);
    const int order = S1.compare(S2);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

void TStringList::SetUpdateState(bool Updating) {
    if (Updating)
        Changing();
    else
        Changed();
}

void TStringList::Changing() {
    if (UpdateCount() == 0 && FOnChanging)
        FOnChanging(this);
}

void TStringList::Changed() {
    if (UpdateCount() == 0 && FOnChange)
        FOnChange(this);
}

// ---- THashedStringList

THashedStringList::THashedStringList()
    : FValueIndex(Store(), TLineIndex::ikLine), FNameIndex(Store(), TLineIndex::ikName) {}

int THashedStringList::IndexOf(std::string_view S) const {
    return FValueIndex.Find(S);
}

int THashedStringList::IndexOfName(std::string_view Name) const {
    return FNameIndex.Find(Name);
}

template <class F> void THashedStringList::Follow(F&& Update) noexcept {
    try {
        Update(FValueIndex);
        Update(FNameIndex);
    } catch (...) {
        FValueIndex.Reset();
        FNameIndex.Reset();
    }
}

void THashedStringList::LineInserted(int Index) {
    Follow([&](TLineIndex& index) { index.Inserted(Index); });
}

void THashedStringList::LineDeleted(int Index, std::string_view OldLine) {
    Follow([&](TLineIndex& index) { index.Deleted(Index, OldLine); });
}

void THashedStringList::LineReplaced(int Index, std::string_view OldLine) {
    Follow([&](TLineIndex& index) { index.Replaced(Index, OldLine); });
}

void THashedStringList::LinesReset() {
    FValueIndex.SetCaseSensitive(CaseSensitive());
    FNameIndex.SetCaseSensitive(CaseSensitive());
    FValueIndex.Reset();
    FNameIndex.Reset();
}

} // namespace qor
