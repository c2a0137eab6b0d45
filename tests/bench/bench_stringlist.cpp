// Look-ups by name in a 100,000-line list: the hashed list against a linear search, and
// the hashed list when every look-up follows a write, as when a program updates a large
// INI section.

#include "framework/StringList.h"

#include <benchmark/benchmark.h>
#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace {

using qor::THashedStringList;
using qor::TStringList;

constexpr int kLines = 100000;
// Draws of random lines, a power of two so that the loops wrap with a mask. More draws
// than lines: the look-ups roam the whole index instead of a cached few thousand keys.
constexpr std::size_t kDraws = 1 << 17;
// Few enough keys for their index slots and lines to stay in the processor's caches, as
// when a program works on some sections of a large file.
constexpr std::size_t kWarmDraws = 1 << 12;

void FillKeys(TStringList& List) {
    qor::TStringsUpdate update(List);
    for (int i = 0; i < kLines; ++i)
        List.Add("Key" + std::to_string(i) + "=" + std::to_string(i));
}

// Random line numbers drawn before timing, so that the loops time the list only.
std::vector<int> RandomLines(unsigned Seed, std::size_t Count = kDraws) {
    std::mt19937 random(Seed);
    std::uniform_int_distribution<int> line(0, kLines - 1);
    std::vector<int> lines(Count);
    for (int& l : lines)
        l = line(random);
    return lines;
}

std::vector<std::string> NamesOf(const std::vector<int>& Lines) {
    std::vector<std::string> names;
    for (const int l : Lines)
        names.push_back("Key" + std::to_string(l));
    return names;
}

// In the benchmarks with an argument, it is the number of random draws: kDraws roams
// the list, kWarmDraws stays cached.
template <class List> void BM_IndexOfName(benchmark::State& State) {
    List list;
    FillKeys(list);
    const auto draws = static_cast<std::size_t>(State.range(0));
    const std::vector<std::string> names = NamesOf(RandomLines(1, draws));
    list.IndexOfName(names[0]); // the hashed list builds its index on the first look-up
    std::size_t k = 0;
    for (auto _ : State)
        benchmark::DoNotOptimize(list.IndexOfName(names[k++ & (draws - 1)]));
}
BENCHMARK_TEMPLATE(BM_IndexOfName, THashedStringList)->Arg(kDraws)->Arg(kWarmDraws);
BENCHMARK_TEMPLATE(BM_IndexOfName, TStringList)->Arg(kDraws)->Unit(benchmark::kMicrosecond);

// Replaces a random line with a new value under its name, then looks up another name.
void BM_SetStringsThenIndexOfName(benchmark::State& State) {
    THashedStringList list;
    FillKeys(list);
    const auto draws = static_cast<std::size_t>(State.range(0));
    const std::vector<int> written = RandomLines(2, draws);
    std::vector<std::string> lines;
    for (const int l : written)
        lines.push_back("Key" + std::to_string(l) + "=v" + std::to_string(l));
    const std::vector<std::string> names = NamesOf(RandomLines(3, draws));
    list.IndexOfName(names[0]);
    std::size_t k = 0;
    for (auto _ : State) {
        const std::size_t i = k++ & (draws - 1);
        list.SetStrings(written[i], lines[i]);
        benchmark::DoNotOptimize(list.IndexOfName(names[i]));
    }
}
BENCHMARK(BM_SetStringsThenIndexOfName)->Arg(kDraws)->Arg(kWarmDraws);

// The same writes without the look-ups: subtracted from the row above, it leaves the cost
// of a look-up that follows a write.
void BM_SetStringsOnly(benchmark::State& State) {
    THashedStringList list;
    FillKeys(list);
    const auto draws = static_cast<std::size_t>(State.range(0));
    const std::vector<int> written = RandomLines(2, draws);
    std::vector<std::string> lines;
    for (const int l : written)
        lines.push_back("Key" + std::to_string(l) + "=v" + std::to_string(l));
    list.IndexOfName("Key0");
    std::size_t k = 0;
    for (auto _ : State) {
        const std::size_t i = k++ & (draws - 1);
        list.SetStrings(written[i], lines[i]);
    }
    benchmark::DoNotOptimize(list.Count());
}
BENCHMARK(BM_SetStringsOnly)->Arg(kDraws)->Arg(kWarmDraws);

// SetValues on an existing name (a look-up and an in-place edit), then another look-up.
void BM_SetValuesThenIndexOfName(benchmark::State& State) {
    THashedStringList list;
    FillKeys(list);
    const auto draws = static_cast<std::size_t>(State.range(0));
    const std::vector<std::string> written = NamesOf(RandomLines(4, draws));
    const std::vector<std::string> names = NamesOf(RandomLines(5, draws));
    list.IndexOfName(names[0]);
    std::size_t k = 0;
    for (auto _ : State) {
        const std::size_t i = k++ & (draws - 1);
        list.SetValues(written[i], (k & 1) ? "odd" : "even");
        benchmark::DoNotOptimize(list.IndexOfName(names[i]));
    }
}
BENCHMARK(BM_SetValuesThenIndexOfName)->Arg(kDraws)->Arg(kWarmDraws);

// Appends a line and deletes it again (the list keeps its size), then a look-up.
void BM_AppendDeleteThenIndexOfName(benchmark::State& State) {
    THashedStringList list;
    FillKeys(list);
    const std::vector<std::string> names = NamesOf(RandomLines(6));
    list.IndexOfName(names[0]);
    std::size_t k = 0;
    for (auto _ : State) {
        const std::size_t i = k++ & (kDraws - 1);
        list.Add("New=1");
        list.Delete(kLines);
        benchmark::DoNotOptimize(list.IndexOfName(names[i]));
    }
}
BENCHMARK(BM_AppendDeleteThenIndexOfName);

// The costly case: an insert and a delete in the middle move half the lines, and the next
// look-up of a line after them indexes that half again.
void BM_MiddleInsertDeleteThenIndexOfName(benchmark::State& State) {
    THashedStringList list;
    FillKeys(list);
    const std::vector<std::string> names = NamesOf(RandomLines(7));
    list.IndexOfName(names[0]);
    std::size_t k = 0;
    for (auto _ : State) {
        const std::size_t i = k++ & (kDraws - 1);
        list.Insert(kLines / 2, "New=1");
        list.Delete(kLines / 2);
        benchmark::DoNotOptimize(list.IndexOfName(names[i]));
    }
}
BENCHMARK(BM_MiddleInsertDeleteThenIndexOfName)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
