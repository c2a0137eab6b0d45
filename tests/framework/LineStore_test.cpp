#include "framework/LineStore.h"

#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace qor {
namespace {

std::vector<std::string> LinesOf(const TLineStore& Store) {
    std::vector<std::string> lines;
    for (std::size_t i = 0; i < Store.Count(); ++i)
        lines.emplace_back(Store[i]);
    return lines;
}

// Random inserts, replaces and erases of lines up to 300 bytes, many of them inserting a
// line of the store itself, keep the store equal to a vector of strings; the returned old
// texts are the lines that went. Replacing again and again makes the store compact its
// buffer many times over.
TEST(LineStoreTest, AgreesWithAVectorOfStringsUnderRandomEdits) {
    std::mt19937 random(20261211);
    const auto pick = [&](std::size_t n) { return static_cast<std::size_t>(random() % n); };
    const auto text = [&] {
        return std::string(pick(300), static_cast<char>('a' + pick(26))) +
               std::to_string(pick(1000));
    };
    TLineStore store;
    std::vector<std::string> model;
    for (int step = 0; step < 20000; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const std::size_t op = pick(100);
        if (op < 30 || model.empty()) {
            const std::size_t at = pick(model.size() + 1);
            if (!model.empty() && op < 10) { // a view of one of the store's own lines
                const std::size_t from = pick(model.size());
                store.Insert(at, store[from]);
                model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), model[from]);
            } else {
                const std::string line = text();
                store.Insert(at, line);
                model.insert(model.begin() + static_cast<std::ptrdiff_t>(at), line);
            }
        } else if (op < 85) {
            const std::size_t at = pick(model.size());
            const std::string line = op < 40 ? std::string(store[pick(model.size())]) : text();
            ASSERT_EQ(store.Replace(at, line), model[at]);
            model[at] = line;
        } else {
            const std::size_t at = pick(model.size());
            ASSERT_EQ(store.Erase(at), model[at]);
            model.erase(model.begin() + static_cast<std::ptrdiff_t>(at));
        }
        if (step % 97 == 0) {
            ASSERT_EQ(LinesOf(store), model);
        }
    }
    EXPECT_EQ(LinesOf(store), model);
    store.Clear();
    EXPECT_TRUE(store.Empty());
    store.Insert(0, "again");
    EXPECT_EQ(LinesOf(store), std::vector<std::string>{"again"});
}

TEST(LineStoreTest, ReplacingWithAViewOfTheSameLineAndSortingKeepTheTexts) {
    TLineStore store;
    for (const char* line : {"b=2", "a=1", "B=3", "", "a=0"})
        store.Insert(store.Count(), line);
    EXPECT_EQ(store.Replace(0, store[0]), "b=2");
    EXPECT_EQ(store[0], "b=2");
    // Equal first letters keep their order, ignoring case as a string list does.
    store.StableSort([](std::string_view A, std::string_view B) {
        const auto lower = [](std::string_view S) { return S.empty() ? '\0' : S[0] | 0x20; };
        return lower(A) < lower(B);
    });
    EXPECT_EQ(LinesOf(store), (std::vector<std::string>{"", "a=1", "a=0", "b=2", "B=3"}));
}

} // namespace
} // namespace qor
