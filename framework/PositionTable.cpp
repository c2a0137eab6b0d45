#include "framework/PositionTable.h"

#include <algorithm>

namespace qor {

std::size_t TPositionTable::Home(std::uint32_t Tag) const {
    // Fibonacci hashing: the top bits of the product mix all bits of the tag.
    return static_cast<std::uint32_t>(Tag * 0x9E3779B9u) >> FShift;
}

const TPositionTable::Slot* TPositionTable::FindSlot(std::uint32_t Tag) const {
    if (FUsed == 0)
        return nullptr;
    const std::size_t mask = FSlots.size() - 1;
    for (std::size_t i = Home(Tag);; i = (i + 1) & mask) {
        const Slot& s = FSlots[i];
        if (s.Ref == kEmpty)
            return nullptr;
        if (s.Tag == Tag)
            return &s;
    }
}

TPositionTable::Slot* TPositionTable::FindSlot(std::uint32_t Tag) {
    return const_cast<Slot*>(static_cast<const TPositionTable*>(this)->FindSlot(Tag));
}

void TPositionTable::Add(std::uint64_t Hash, int Position) {
    const std::uint32_t tag = TagOf(Hash);
    // Room first, so that one probe finds either the tag's slot or the empty slot that
    // takes it: a new tag, the usual case, costs one walk of the probe run.
    Reserve(FUsed + 1);
    const std::size_t mask = FSlots.size() - 1;
    std::size_t i = Home(tag);
    while (FSlots[i].Ref != kEmpty && FSlots[i].Tag != tag)
        i = (i + 1) & mask;
    Slot* s = &FSlots[i];
    if (s->Ref == kEmpty) {
        *s = Slot{tag, Position};
        ++FUsed;
        return;
    }
    if (!IsGroup(*s))
        MakeGroup(*s);
    std::vector<int>& group = Group(*s);
    if (group.back() < Position)
        group.push_back(Position);
    else
        group.insert(std::lower_bound(group.begin(), group.end(), Position), Position);
}

void TPositionTable::Remove(std::uint64_t Hash, int Position) {
    Slot* s = FindSlot(TagOf(Hash));
    if (!s)
        return;
    if (!IsGroup(*s)) {
        if (s->Ref == Position)
            EraseSlot(static_cast<std::size_t>(s - FSlots.data()));
        return;
    }
    std::vector<int>& group = Group(*s);
    const auto it = std::lower_bound(group.begin(), group.end(), Position);
    if (it == group.end() || *it != Position)
        return;
    group.erase(it);
    if (group.size() == 1)
        ReleaseGroup(*s, group.front());
}

void TPositionTable::DropFrom(int Limit) {
    // Rebuilding the slot array is simpler than deleting from probe runs in place.
    std::vector<Slot> old(FSlots.size());
    old.swap(FSlots);
    FUsed = 0;
    for (Slot& s : old) {
        if (s.Ref == kEmpty)
            continue;
        if (IsGroup(s)) {
            // Sorted: the group loses a tail, or all of it.
            std::vector<int>& group = Group(s);
            group.erase(std::lower_bound(group.begin(), group.end(), Limit), group.end());
            if (group.empty()) {
                ReleaseGroup(s, kEmpty);
                continue;
            }
            if (group.size() == 1)
                ReleaseGroup(s, group.front());
        } else if (s.Ref >= Limit) {
            continue;
        }
        Place(s);
        ++FUsed;
    }
}

void TPositionTable::Reserve(std::size_t Count) {
    std::size_t capacity = FSlots.empty() ? 16 : FSlots.size();
    while (capacity < 2 * Count)
        capacity *= 2;
    if (capacity != FSlots.size())
        Rehash(capacity);
}

void TPositionTable::Clear() noexcept {
    std::vector<Slot>().swap(FSlots);
    std::vector<std::vector<int>>().swap(FGroups);
    std::vector<std::int32_t>().swap(FFreeGroups);
    FUsed = 0;
    FShift = 32;
}

void TPositionTable::Rehash(std::size_t Capacity) {
    std::vector<Slot> old(Capacity);
    old.swap(FSlots);
    FShift = 32;
    for (std::size_t c = Capacity; c > 1; c >>= 1)
        --FShift;
    for (const Slot& s : old)
        if (s.Ref != kEmpty)
            Place(s);
}

void TPositionTable::Place(const Slot& S) {
    const std::size_t mask = FSlots.size() - 1;
    std::size_t i = Home(S.Tag);
    while (FSlots[i].Ref != kEmpty)
        i = (i + 1) & mask;
    FSlots[i] = S;
}

void TPositionTable::EraseSlot(std::size_t Index) {
    // Backward-shift deletion: moves later members of the probe run into the hole when
    // their home lies at or before it, so no look-up stops early at the hole.
    const std::size_t mask = FSlots.size() - 1;
    std::size_t hole = Index;
    for (std::size_t i = (hole + 1) & mask; FSlots[i].Ref != kEmpty; i = (i + 1) & mask) {
        const std::size_t home = Home(FSlots[i].Tag);
        // Distance from home to i, and from the hole to i, along the probe direction.
        if (((i - home) & mask) >= ((i - hole) & mask)) {
            FSlots[hole] = FSlots[i];
            hole = i;
        }
    }
    FSlots[hole] = Slot{};
    --FUsed;
}

void TPositionTable::MakeGroup(Slot& S) {
    std::int32_t n;
    if (FFreeGroups.empty()) {
        FGroups.emplace_back();
        n = static_cast<std::int32_t>(FGroups.size() - 1);
    } else {
        n = FFreeGroups.back();
        FFreeGroups.pop_back();
    }
    FGroups[static_cast<std::size_t>(n)].push_back(S.Ref);
    S.Ref = -2 - n;
}

void TPositionTable::ReleaseGroup(Slot& S, int Remaining) {
    const std::int32_t n = -2 - S.Ref;
    FGroups[static_cast<std::size_t>(n)].clear();
    FFreeGroups.push_back(n);
    S.Ref = Remaining;
}

} // namespace qor
