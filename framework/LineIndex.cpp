#include "framework/LineIndex.h"

#include "framework/TextCompare.h"

#include <algorithm>
#include <functional>

namespace qor {

// Invariants: when FStale is clear, FValid equals the line count and the table holds
// exactly one position per indexed line. When it is set, the table is exact for lines
// below FValid and may hold any positions at or above FValid.

TLineIndex::TLineIndex(const TLineStore& Lines, TKeyKind Kind) : FLines(Lines), FKind(Kind) {
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
    // The lower-case bytes, eight at a time, each word mixed in by one multiply: texts that
    // SameText finds equal hash equal. Short INI keys take one or two words.
    constexpr std::uint64_t mix = 0x9E3779B97F4A7C15ull;
    const auto* p = reinterpret_cast<const unsigned char*>(Key.data());
    std::size_t n = Key.size();
    std::uint64_t h = (n + 1) * mix;
    const auto word = [this](const unsigned char* Bytes, std::size_t Count) {
        std::uint64_t w = 0;
        for (std::size_t i = 0; i < Count; ++i)
            w |= std::uint64_t{FLower[Bytes[i]]} << (8 * i);
        return w;
    };
    for (; n >= 8; p += 8, n -= 8) {
        h = (h ^ word(p, 8)) * mix;
        h ^= h >> 32;
    }
    h = (h ^ word(p, n)) * mix;
    return h ^ (h >> 29);
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
    const int count = static_cast<int>(FLines.Count());
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
    const int count = static_cast<int>(FLines.Count());
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
    const std::string_view line = FLines[static_cast<std::size_t>(Index)];
    // The usual write looks its name up, misses and appends the line: when the line's key
    // is the key that was missed (which holds no '=' for a name), it is neither searched
    // for nor hashed a second time.
    if (FHasMiss && line.size() >= FMissKey.size() &&
        (FKind == ikLine ? line.size() == FMissKey.size()
                         : line.size() > FMissKey.size() && line[FMissKey.size()] == '=') &&
        line.compare(0, FMissKey.size(), FMissKey) == 0) {
        FTable.Add(FMissHash, Index);
        return;
    }
    std::string_view key;
    if (KeyOf(line, key))
        FTable.Add(Hash(key), Index);
}

void TLineIndex::RemoveLine(int Index, std::string_view Line) {
    std::string_view key;
    if (KeyOf(Line, key))
        FTable.Remove(Hash(key), Index);
}

void TLineIndex::Complete() {
    try {
        const int count = static_cast<int>(FLines.Count());
        if (FValid == 0) // nothing hashed is kept: follow the current character locale
            TakeLowerCase();
        FTable.DropFrom(FValid);
        FTable.Reserve(FLines.Count());
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
