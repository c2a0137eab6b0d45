#pragma once
// Hash index of a list's lines, by whole line or by name part, that follows edits of the
// list without rebuilding itself. THashedStringList keeps one of each kind.
//
// Lines [0, Valid) are indexed exactly. An insert or delete before the last line moves
// every later line, so instead of renumbering them at once the index lowers Valid to the
// edit's position and marks itself stale: its table may then hold positions at or above
// Valid that no longer describe the list. A look-up trusts a match below Valid (any
// match further on would come later in list order); only when there is none and the
// index is stale does it drop the positions from Valid on and index the lines after
// Valid once. Several middle edits in a row thus cost one such pass, and look-ups of
// lines before the edits cost none.
//
// Costs, for n lines and d lines sharing a key:
//   first look-up                      O(n): indexes all lines
//   look-up                            O(1 + d); after an insert/delete at position p,
//                                      the first one that needs a line after p pays
//                                      O(n - p + table capacity)
//   append, delete of the last line    O(1) amortised
//   replace a line in place            O(1 + d); nothing when its key stays the same
//   insert or delete before the end    O(1) here (the list itself moves O(n - p) lines)
//   clear, sort, case change           O(1): the next look-up indexes all lines again

#include "framework/LineStore.h"
#include "framework/PositionTable.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qor {

class TLineIndex {
public:
    enum TKeyKind {
        ikLine, // the whole line
        ikName, // the text before the first '='; lines without '=' are not indexed
    };

    // Lines is the list that the index follows; it must outlive the index.
    TLineIndex(const TLineStore& Lines, TKeyKind Kind);

    // Index of the first line whose key equals Key, or -1.
    int Find(std::string_view Key);

    // Calls that tell the index of a change, made after the lines have changed.
    void Inserted(int Index);
    void Deleted(int Index, std::string_view OldLine);
    void Replaced(int Index, std::string_view OldLine);
    // Forgets everything; the next look-up indexes all lines. Also used after a failure.
    void Reset() noexcept;
    // Keys compare by bytes when set, ignoring case (TextCompare.h) otherwise.
    void SetCaseSensitive(bool Value) noexcept;

private:
    // The key of a line, or false when it has none.
    bool KeyOf(std::string_view Line, std::string_view& Key) const;
    std::uint64_t Hash(std::string_view Key) const;
    void TakeLowerCase();
    bool Same(std::string_view A, std::string_view B) const;
    void AddLine(int Index);
    void RemoveLine(int Index, std::string_view Line);
    // Indexes the lines from FValid on, dropping what the table held for them.
    void Complete();

    const TLineStore& FLines;
    TKeyKind FKind;
    bool FCaseSensitive = false;
    // LowerChar of every byte, taken when the index is built from scratch: calling the
    // locale for each character made hashing cost more than the rest of a look-up.
    std::array<unsigned char, 256> FLower{};
    TPositionTable FTable;
    int FValid = 0;
    bool FStale = true; // starts unbuilt: nothing is indexed yet
    // The key that the last look-up did not find, and its hash.
    std::string FMissKey;
    std::uint64_t FMissHash = 0;
    bool FHasMiss = false;
};

} // namespace qor
