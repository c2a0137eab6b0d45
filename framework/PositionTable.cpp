#include "framework/PositionTable.h"

#include <algorithm>

namespace qor {

std::size_t TPositionTable::Home(std::uint64_t Hash) const {
    // Fibonacci hashing: the top bits of the product mix all bits of the hash.
    return static_cast<std::size_t>((Hash * 0x9E3779B97F4A7C15ull) >> FShift);
}

const TPositionTable::Slot* TPositionTable::FindSlot(std::uint64_t Hash) const {
    if (FUsed == 0)
        return nullptr;
    const std::size_t mask = FSlots.size() - 1;
    for (std::size_t i = Home(Hash);; i = (i + 1) & mask) {
        const Slot& s = FSlots[i];
        if (s.First < 0)
            return nullptr;
        if (s.Hash == Hash)
            return &s;
    }
}

TPositionTable::Slot* TPositionTable::FindSlot(std::uint64_t Hash) {
    return const_cast<Slot*>(static_cast<const TPositionTable*>(this)->FindSlot(Hash));
}

void TPositionTable::Add(std::uint64_t Hash, int Position) {
    if (Slot* s = FindSlot(Hash)) {
        AddToGroup(*s, Position);
        return;
    }
    Reserve(FUsed + 1);
    Place(Slot{Hash, Position, -1});
    ++FUsed;
}

void TPositionTable::AddToGroup(Slot& S, int Position) {
    if (S.More < 0)
        S.More = NewMore();
    std::vector<int>& more = FMore[static_cast<std::size_t>(S.More)];
    if (Position < S.First) {
        more.insert(more.begin(), S.First);
        S.First = Position;
    } else if (more.empty() || more.back() < Position) {
        more.push_back(Position);
    } else {
        more.insert(std::lower_bound(more.begin(), more.end(), Position), Position);
    }
}

void TPositionTable::Remove(std::uint64_t Hash, int Position) {
    Slot* s = FindSlot(Hash);
    if (!s)
        return;
    if (s->First == Position) {
        if (s->More < 0) {
            EraseSlot(static_cast<std::size_t>(s - FSlots.data()));
            return;
        }
        std::vector<int>& more = FMore[static_cast<std::size_t>(s->More)];
        s->First = more.front();
        more.erase(more.begin());
    } else if (s->More >= 0) {
        std::vector<int>& more = FMore[static_cast<std::size_t>(s->More)];
        const auto it = std::lower_bound(more.begin(), more.end(), Position);
        if (it == more.end() || *it != Position)
            return;
        more.erase(it);
    }
    if (s->More >= 0 && FMore[static_cast<std::size_t>(s->More)].empty())
        ReleaseMore(s->More);
}

void TPositionTable::DropFrom(int Limit) {
    // Positions are sorted within a group, so each group loses a tail or all of it.
    // Rebuilding the slot array is simpler than deleting from a probe sequence in place.
    std::vector<Slot> old(FSlots.size());
    old.swap(FSlots);
    FUsed = 0;
    for (Slot& s : old) {
        if (s.First < 0)
            continue;
        if (s.First >= Limit) {
            if (s.More >= 0)
                ReleaseMore(s.More);
            continue;
        }
        if (s.More >= 0) {
            std::vector<int>& more = FMore[static_cast<std::size_t>(s.More)];
            more.erase(std::lower_bound(more.begin(), more.end(), Limit), more.end());
            if (more.empty())
                ReleaseMore(s.More);
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
    std::vector<std::vector<int>>().swap(FMore);
    std::vector<int>().swap(FFreeMore);
    FUsed = 0;
    FShift = 64;
}

void TPositionTable::Rehash(std::size_t Capacity) {
    std::vector<Slot> old(Capacity);
    old.swap(FSlots);
    FShift = 64;
    for (std::size_t c = Capacity; c > 1; c >>= 1)
        --FShift;
    for (const Slot& s : old)
        if (s.First >= 0)
            Place(s);
}

void TPositionTable::Place(const Slot& S) {
    const std::size_t mask = FSlots.size() - 1;
    std::size_t i = Home(S.Hash);
    while (FSlots[i].First >= 0)
        i = (i + 1) & mask;
    FSlots[i] = S;
}

void TPositionTable::EraseSlot(std::size_t Index) {
    // Backward-shift deletion: moves later members of the probe run into the hole when
    // their home lies at or before it, so no look-up stops early at the hole.
    const std::size_t mask = FSlots.size() - 1;
    std::size_t hole = Index;
    for (std::size_t i = (hole + 1) & mask; FSlots[i].First >= 0; i = (i + 1) & mask) {
        const std::size_t home = Home(FSlots[i].Hash);
        // Distance from home to i, and from the hole to i, along the probe direction.
        if (((i - home) & mask) >= ((i - hole) & mask)) {
            FSlots[hole] = FSlots[i];
            hole = i;
        }
    }
    FSlots[hole] = Slot{};
    --FUsed;
}

int TPositionTable::NewMore() {
    if (!FFreeMore.empty()) {
        const int index = FFreeMore.back();
        FFreeMore.pop_back();
        return index;
    }
    FMore.emplace_back();
    return static_cast<int>(FMore.size() - 1);
}

void TPositionTable::ReleaseMore(std::int32_t& More) {
    FMore[static_cast<std::size_t>(More)].clear();
    FFreeMore.push_back(More);
    More = -1;
}

} // namespace qor
