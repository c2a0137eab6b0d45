#include "framework/LineIndex.h"

#include "framework/TextCompare.h"

#include <algorithm>
#include <functional>

namespace qor {

// Invariants: when FStale is clear, FValid equals the line count and the table holds
// exactly one position per indexed line. When it is set, the table is exact for lines
// below FValid and may hold any positions at or above FValid.

TLineIndex::TLineIndex(const std::vector<std::string>& Lines, TKeyKind Kind)
    : FLines(Lines), FKind(Kind) {
    TakeLowerCase();
}

void TLineIndex::TakeLowerCase() {
    FHasMiss = false; // hashed with the table this replaces
    for (std::size_t c = 0; c < FLower.size(); ++c)
        FLower[c] = static_cast<unsigned char>(LowerChar(static_cast<char>(c)));
}

bool TLineIndex::KeyOf(std::string_view Line, std::string_view& Key) const {
    if (FKind == ikLine) {
        Key = Line;
        return true;
    }
    const std::size_t equals = Line.find('=');
    if (equals == std::string_view::npos)
        return false;
    Key = Line.substr(0, equals);
    return true;
}

std::uint64_t TLineIndex::Hash(std::string_view Key) const {
    if (FCaseSensitive)
        return std::hash<std::string_view>()(Key);
    // FNV-1a over the lower-case bytes: texts that SameText finds equal hash equal.
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : Key) {
        h ^= FLower[static_cast<unsigned char>(c)];
        h *= 1099511628211ull;
    }
    return h;
}

bool TLineIndex::Same(std::string_view A, std::string_view B) const {
    return FCaseSensitive ? A == B : SameText(A, B);
}

int TLineIndex::Find(std::string_view Key) {
    if (FKind == ikName && Key.find('=') != std::string_view::npos)
        return -1; // a name part never holds '='
    std::uint64_t hash = Hash(Key);
    // Key has no '=': a line's name part equals it when the line starts with it and an
    // '=' follows, which spares searching the line for its first '='.
    const auto matches = [&](int position) {
        const std::string_view line = FLines[static_cast<std::size_t>(position)];
        if (FKind == ikLine)
            return Same(line, Key);
        return line.size() > Key.size() && line[Key.size()] == '=' &&
               Same(line.substr(0, Key.size()), Key);
    };
    int found = FTable.Find(hash, FValid, matches);
    if (found < 0 && FStale) {
        const bool fromScratch = FValid == 0;
        Complete();
        if (fromScratch) // the lower-case table was taken again
            hash = Hash(Key);
        found = FTable.Find(hash, FValid, matches);
    }
    if (found < 0) {
        FMissKey.assign(Key);
        FMissHash = hash;
        FHasMiss = true;
    }
    return found;
}

void TLineIndex::Inserted(int Index) {
    const int count = static_cast<int>(FLines.size());
    if (Index == count - 1) {
        // An append moves nothing; an unbuilt or stale index picks it up later.
        if (!FStale) {
            AddLine(Index);
            FValid = count;
        }
        return;
    }
    FStale = true;
    FValid = std::min(FValid, Index);
}

void TLineIndex::Deleted(int Index, std::string_view OldLine) {
    if (Index < FValid)
        RemoveLine(Index, OldLine);
    const int count = static_cast<int>(FLines.size());
    if (!FStale && Index == count) {
        FValid = count; // the last line went; nothing moved
        return;
    }
    FStale = true;
    FValid = std::min(FValid, Index);
}

void TLineIndex::Replaced(int Index, std::string_view OldLine) {
    if (Index >= FValid)
        return; // not indexed yet
    std::string_view oldKey, newKey;
    const bool hadKey = KeyOf(OldLine, oldKey);
    const bool hasKey = KeyOf(FLines[static_cast<std::size_t>(Index)], newKey);
    // A new value under the same name, the usual INI write, leaves the name index alone.
    if (hadKey && hasKey && Same(oldKey, newKey))
        return;
    if (hadKey)
        FTable.Remove(Hash(oldKey), Index);
    if (hasKey)
        FTable.Add(Hash(newKey), Index);
}

void TLineIndex::Reset() noexcept {
    FTable.Clear();
    FHasMiss = false;
    FValid = 0;
    FStale = true;
}

void TLineIndex::SetCaseSensitive(bool Value) noexcept {
    if (Value == FCaseSensitive)
        return;
    FCaseSensitive = Value;
    Reset(); // every hash changes
}

void TLineIndex::AddLine(int Index) {
    std::string_view key;
    if (!KeyOf(FLines[static_cast<std::size_t>(Index)], key))
        return;
    // The usual write looks its name up, misses and appends the line: its key is not
    // hashed a second time.
    FTable.Add(FHasMiss && key == FMissKey ? FMissHash : Hash(key), Index);
}

void TLineIndex::RemoveLine(int Index, std::string_view Line) {
    std::string_view key;
    if (KeyOf(Line, key))
        FTable.Remove(Hash(key), Index);
}

void TLineIndex::Complete() {
    try {
        const int count = static_cast<int>(FLines.size());
        if (FValid == 0) // nothing hashed is kept: follow the current character locale
            TakeLowerCase();
        FTable.DropFrom(FValid);
        FTable.Reserve(FLines.size());
        for (int i = FValid; i < count; ++i)
            AddLine(i);
        FValid = count;
        FStale = false;
    } catch (...) {
        Reset();
        throw;
    }
}

} // namespace qor
