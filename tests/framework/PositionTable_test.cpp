#include "framework/PositionTable.h"

#include <cstdint>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <vector>

namespace qor {
namespace {

// Random adds, removes and cuts checked against an ordered multi-map of groups.
// Thousands of random hashes make long probe runs, so removals must keep every run
// reachable.
TEST(PositionTableTest, AgreesWithAnOrderedMapUnderRandomChanges) {
    std::mt19937_64 random(7);
    std::vector<std::uint64_t> hashes(3000);
    for (std::uint64_t& h : hashes)
        h = random();
    hashes[1] = hashes[0] ^ 1; // neighbours in value, nothing alike in their slots
    // The same bits flipped in both halves: a different hash that shares the 32 bits the
    // table keeps, so both hashes share one group.
    hashes[3] = hashes[2] ^ 0x0000123400001234ull;
    const auto groupOf = [&](std::uint64_t hash) { return hash == hashes[3] ? hashes[2] : hash; };

    TPositionTable table;
    std::map<std::uint64_t, std::set<int>> reference;
    int nextPosition = 0;
    const auto check = [&](std::uint64_t hash, int limit) {
        const std::set<int>& expected = reference[groupOf(hash)];
        const auto below = [&](bool oddOnly) {
            for (const int p : expected)
                if (p < limit && (!oddOnly || p % 2 == 1))
                    return p;
            return -1;
        };
        ASSERT_EQ(table.Find(hash, limit, [](int) { return true; }), below(false)) << hash;
        ASSERT_EQ(table.Find(hash, limit, [](int p) { return p % 2 == 1; }), below(true)) << hash;
    };

    for (int step = 0; step < 40000; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        // Few hashes early on, all of them later: groups with several positions first.
        const std::size_t spread = step < 5000 ? 20 : hashes.size();
        const std::uint64_t hash = hashes[random() % spread];
        const int op = static_cast<int>(random() % 100);
        if (op < 55) {
            table.Add(hash, nextPosition);
            reference[groupOf(hash)].insert(nextPosition);
            nextPosition += 2 * (1 + static_cast<int>(random() % 3)); // appends: even
        } else if (op < 60) {
            // Odd positions below the largest, as an edit in place adds them.
            const int position = static_cast<int>(random() % (nextPosition / 2 + 1)) * 2 + 1;
            if (reference[groupOf(hash)].insert(position).second)
                table.Add(hash, position);
        } else if (op < 99) {
            std::set<int>& positions = reference[groupOf(hash)];
            if (!positions.empty()) {
                auto it = positions.begin();
                std::advance(it, random() % positions.size());
                table.Remove(hash, *it);
                positions.erase(it);
            }
            table.Remove(hash, nextPosition + 5); // absent: no effect
        } else {
            const int limit = static_cast<int>(random() % (nextPosition + 1));
            table.DropFrom(limit);
            for (auto& [h, positions] : reference)
                positions.erase(positions.lower_bound(limit), positions.end());
        }
        check(hash, nextPosition + 1);
        check(hash, static_cast<int>(random() % (nextPosition + 1)));
        if (step % 5000 == 4999)
            for (const std::uint64_t h : hashes)
                check(h, nextPosition + 1);
    }
    table.Clear();
    EXPECT_EQ(table.Find(hashes[0], nextPosition, [](int) { return true; }), -1);
}

} // namespace
} // namespace qor
