#pragma once
// Multi-map from a 64-bit key hash to line positions, the storage of TLineIndex.
//
// Open addressing with linear probing keeps a look-up within about one cache line. Each
// slot holds one hash and the smallest position with that hash; further positions with
// the same hash (duplicate keys, or the rare hash collision) go to a side list kept in
// ascending order. A key that occurs once, the usual case, therefore needs no
// allocation of its own.
//
// Costs, for d positions sharing a hash: Find O(1 + d), Add O(1) when the position is
// the largest of its group (appends) else O(d), Remove O(d), DropFrom O(capacity).

#include <cstdint>
#include <vector>

namespace qor {

class TPositionTable {
public:
    // Smallest position of the hash that is below Limit and for which Matches(position)
    // is true, or -1. Positions at or above Limit are not visited.
    template <class F> int Find(std::uint64_t Hash, int Limit, F&& Matches) const {
        const Slot* slot = FindSlot(Hash);
        if (!slot)
            return -1;
        if (slot->First >= Limit)
            return -1;
        if (Matches(slot->First))
            return slot->First;
        if (slot->More < 0)
            return -1;
        for (const int position : FMore[static_cast<std::size_t>(slot->More)]) {
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
    // Makes room for Count hashes without growing again.
    void Reserve(std::size_t Count);
    void Clear() noexcept;

private:
    struct Slot {
        std::uint64_t Hash = 0;
        std::int32_t First = -1; // -1: empty slot
        std::int32_t More = -1;  // index into FMore, or -1
    };

    std::size_t Home(std::uint64_t Hash) const;
    const Slot* FindSlot(std::uint64_t Hash) const;
    Slot* FindSlot(std::uint64_t Hash);
    void Rehash(std::size_t Capacity);
    // Puts a slot into a table that has room, without looking for its hash.
    void Place(const Slot& S);
    void EraseSlot(std::size_t Index);
    void AddToGroup(Slot& S, int Position);
    int NewMore();
    void ReleaseMore(std::int32_t& More);

    std::vector<Slot> FSlots; // empty, or a power of two at most half full
    std::size_t FUsed = 0;
    int FShift = 64;
    std::vector<std::vector<int>> FMore;
    std::vector<int> FFreeMore;
};

} // namespace qor
