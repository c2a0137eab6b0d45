#pragma once
// Multi-map from a key hash to line positions, the storage of TLineIndex.
//
// Open addressing with linear probing over 8-byte slots: a look-up usually reads one
// cache line, and the table of a 100,000-line list stays near 2 MB, which matters more
// than anything else once look-ups roam a large list. A slot holds 32 bits of the hash
// and either the only position with those bits (the usual case: no allocation) or the
// number of a side list that holds all of them in ascending order. Keys whose hashes
// share those 32 bits share a group; the caller tells them apart by their text.
//
// Costs, for d positions in a group: Find O(1 + d), Add O(1) when the position is the
// largest of its group (appends) else O(d), Remove O(d), DropFrom O(capacity).

#include <cstdint>
#include <vector>

namespace qor {

class TPositionTable {
public:
    // Smallest position of the hash's group that is below Limit and for which
    // Matches(position) is true, or -1. Positions at or above Limit are not visited.
    template <class F> int Find(std::uint64_t Hash, int Limit, F&& Matches) const {
        const Slot* slot = FindSlot(TagOf(Hash));
        if (!slot)
            return -1;
        if (slot->Ref >= 0)
            return slot->Ref < Limit && Matches(slot->Ref) ? slot->Ref : -1;
        for (const int position : Group(*slot)) {
            if (position >= Limit)
                break;
            if (Matches(position))
                return position;
        }
        return -1;
    }

    void Add(std::uint64_t Hash, int Position);
    // Removes the position from the hash's group; no effect when it is not there.
    void Remove(std::uint64_t Hash, int Position);
    // Removes every position at or above Limit.
    void DropFrom(int Limit);
    // Makes room for Count groups without growing again.
    void Reserve(std::size_t Count);
    void Clear() noexcept;

private:
    static constexpr std::int32_t kEmpty = -1;
    struct Slot {
        std::uint32_t Tag = 0;
        // A position (>= 0), kEmpty, or -2 - n for the side list n.
        std::int32_t Ref = kEmpty;
    };

    static std::uint32_t TagOf(std::uint64_t Hash) {
        return static_cast<std::uint32_t>(Hash ^ (Hash >> 32));
    }
    static bool IsGroup(const Slot& S) { return S.Ref < kEmpty; }
    std::vector<int>& Group(const Slot& S) { return FGroups[static_cast<std::size_t>(-2 - S.Ref)]; }
    const std::vector<int>& Group(const Slot& S) const {
        return FGroups[static_cast<std::size_t>(-2 - S.Ref)];
    }

    std::size_t Home(std::uint32_t Tag) const;
    const Slot* FindSlot(std::uint32_t Tag) const;
    Slot* FindSlot(std::uint32_t Tag);
    void Rehash(std::size_t Capacity);
    // Puts a slot into a table that has room, without looking for its tag.
    void Place(const Slot& S);
    void EraseSlot(std::size_t Index);
    // Turns a slot's single position into a side list holding it.
    void MakeGroup(Slot& S);
    void ReleaseGroup(Slot& S, int Remaining);

    std::vector<Slot> FSlots; // empty, or a power of two at most half full
    std::size_t FUsed = 0;
    int FShift = 32;
    std::vector<std::vector<int>> FGroups;
    std::vector<std::int32_t> FFreeGroups;
};

} // namespace qor
