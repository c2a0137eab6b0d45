// A map saved to and loaded from the in-memory INI store, one key per cell, at 64 x 64,
// 128 x 128 and 255 x 255: SaveToIni into an empty store and UpdateFile (save), a new
// store parsing the block with its size (parse), LoadFromIni with OldReadFileMode (load),
// and the whole round trip with the peak of heap memory it needs. Python's configparser
// parses the same text in the same run as the reference. After the table the program
// prints the growth from one size to the next (4 times the cells each) and how much
// faster our parse is than configparser's.

#include "data/SerialData.h"
#include "inistore/Qormeminifile.h"
#include "tests/bench/ConfigParserReference.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <malloc.h>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <sys/resource.h>
#include <vector>

// Heap bytes taken since counting was switched on (negative when blocks from before are
// freed) and their peak, counted by the replaced global operator new while gCounting is
// set. The benchmarks run on one thread; counting stays off during the timed runs.
namespace {
bool gCounting = false;
std::int64_t gHeapInUse = 0;
std::int64_t gHeapPeak = 0;

void* CountedAlloc(std::size_t Size) {
    void* p = std::malloc(Size ? Size : 1);
    if (!p)
        throw std::bad_alloc();
    if (gCounting) {
        gHeapInUse += static_cast<std::int64_t>(malloc_usable_size(p));
        gHeapPeak = std::max(gHeapPeak, gHeapInUse);
    }
    return p;
}

void CountedFree(void* P) noexcept {
    if (P && gCounting)
        gHeapInUse -= static_cast<std::int64_t>(malloc_usable_size(P));
    std::free(P);
}
} // namespace

void* operator new(std::size_t Size) {
    return CountedAlloc(Size);
}
void* operator new[](std::size_t Size) {
    return CountedAlloc(Size);
}
void operator delete(void* P) noexcept {
    CountedFree(P);
}
void operator delete[](void* P) noexcept {
    CountedFree(P);
}
void operator delete(void* P, std::size_t) noexcept {
    CountedFree(P);
}
void operator delete[](void* P, std::size_t) noexcept {
    CountedFree(P);
}

namespace {

using qor::TMemIniBlock;
using qor::TMemIniData;
using qor::TQorMatrix;

// A 2-byte signed map of Side x Side cells with values that vary from cell to cell, saved
// as "%g" user values of a formula (one quarter of the raw value).
std::unique_ptr<TQorMatrix> MakeMap(int Side) {
    auto m = std::make_unique<TQorMatrix>(nullptr);
    m->SetDataLength(2);
    m->SetSigned(true);
    m->SetTransformation(qor::ttFormula);
    m->SetCoeffA(0.25);
    m->SetColCount(Side);
    m->SetRowCount(Side);
    m->SetFileSection("Map");
    m->SetFileKeyName("Map");
    m->SetOldReadFileMode(true);
    TQorMatrix::TRows cells(Side, std::vector<std::int32_t>(Side));
    for (int r = 0; r < Side; ++r)
        for (int c = 0; c < Side; ++c)
            cells[r][c] = static_cast<std::int16_t>(r * 257 + c * 131 + (r ^ c) * 7);
    m->WriteRawCells(cells); // no connection: the values are only held
    return m;
}

std::size_t BlockSize(const std::uint8_t* Block) {
    return qor::MemIniLengthSize + static_cast<std::size_t>(qor::MemIniBlockLength(Block)) + 1;
}

// The block of a saved map, as the save step leaves it.
void SaveInto(TQorMatrix& Map, TMemIniBlock& Block) {
    TMemIniData ini(Block.Ref(), BlockSize(Block.Get()));
    Map.SaveToIni(ini);
    ini.UpdateFile();
}

void CountCells(benchmark::State& State, int Side) {
    State.counters["per_cell"] =
        benchmark::Counter(double(Side) * Side, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
}

int SideOf(const benchmark::State& State) {
    return static_cast<int>(State.range(0));
}

void BM_Save(benchmark::State& State) {
    const auto map = MakeMap(SideOf(State));
    for (auto _ : State) {
        TMemIniBlock block(std::string_view{});
        SaveInto(*map, block);
        benchmark::DoNotOptimize(block.Get());
    }
    CountCells(State, SideOf(State));
}

void BM_Parse(benchmark::State& State) {
    const auto map = MakeMap(SideOf(State));
    TMemIniBlock block(std::string_view{});
    SaveInto(*map, block);
    for (auto _ : State) {
        TMemIniData ini(block.Ref(), BlockSize(block.Get()));
        benchmark::DoNotOptimize(ini.ReadString("Map", "Map0_0", ""));
    }
    CountCells(State, SideOf(State));
}

void BM_Load(benchmark::State& State) {
    const auto saved = MakeMap(SideOf(State));
    TMemIniBlock block(std::string_view{});
    SaveInto(*saved, block);
    TMemIniData ini(block.Ref(), BlockSize(block.Get()));
    const auto loaded = MakeMap(SideOf(State));
    for (auto _ : State)
        if (!loaded->LoadFromIni(ini))
            State.SkipWithError("LoadFromIni failed");
    if (loaded->RawValues() != saved->RawValues())
        State.SkipWithError("the loaded values differ from the saved ones");
    CountCells(State, SideOf(State));
}

// The whole round trip: save, UpdateFile, parse into a new store over the new block with
// its size, load.
void RoundTrip(benchmark::State& State, TQorMatrix& Saved, TQorMatrix& Loaded) {
    TMemIniBlock block(std::string_view{});
    SaveInto(Saved, block);
    TMemIniData ini(block.Ref(), BlockSize(block.Get()));
    if (!Loaded.LoadFromIni(ini))
        State.SkipWithError("LoadFromIni failed");
}

void BM_RoundTrip(benchmark::State& State) {
    const auto saved = MakeMap(SideOf(State));
    const auto loaded = MakeMap(SideOf(State));
    for (auto _ : State)
        RoundTrip(State, *saved, *loaded);
    if (loaded->RawValues() != saved->RawValues())
        State.SkipWithError("the loaded values differ from the saved ones");
    CountCells(State, SideOf(State));
}

// One round trip with the heap counted: the most memory it has in use at any time, above
// what was in use before (the two maps themselves not included); and the process's peak
// resident size so far.
void BM_RoundTripPeakMemory(benchmark::State& State) {
    const auto saved = MakeMap(SideOf(State));
    const auto loaded = MakeMap(SideOf(State));
    for (auto _ : State) {
        gHeapInUse = gHeapPeak = 0;
        gCounting = true;
        RoundTrip(State, *saved, *loaded);
        gCounting = false;
    }
    State.counters["peak_MiB"] = double(gHeapPeak) / (1024.0 * 1024.0);
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    State.counters["maxrss_MiB"] = double(usage.ru_maxrss) / 1024.0;
}

void BM_ConfigParserParse(benchmark::State& State) {
    const int side = SideOf(State);
    const auto map = MakeMap(side);
    TMemIniBlock block(std::string_view{});
    SaveInto(*map, block);
    qor::bench::TimeConfigParser(State, std::string(qor::MemIniBlockText(block.Get())), "Map",
                                 long(side) * side);
    CountCells(State, side);
}

void Sides(benchmark::internal::Benchmark* B) {
    B->Arg(64)->Arg(128)->Arg(255)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Save)->Apply(Sides);
BENCHMARK(BM_Parse)->Apply(Sides);
BENCHMARK(BM_Load)->Apply(Sides);
BENCHMARK(BM_RoundTrip)->Apply(Sides);
BENCHMARK(BM_RoundTripPeakMemory)->Apply(Sides)->Iterations(1);
BENCHMARK(BM_ConfigParserParse)->Apply(Sides)->UseManualTime()->Iterations(1);

// Keeps the table as usual and remembers each row's time in milliseconds: the median
// when repetitions give one, otherwise the single run; CPU time for our rows (the machine
// may be shared), the manual time for configparser's (its own CPU time).
class TRecordingReporter : public benchmark::ConsoleReporter {
public:
    std::map<std::string, double> Millis;

    void ReportRuns(const std::vector<Run>& Runs) override {
        for (const Run& run : Runs) {
            if (run.error_occurred ||
                (run.run_type == Run::RT_Aggregate && run.aggregate_name != "median"))
                continue;
            const std::string name = run.run_name.str();
            const bool manual = name.find("manual_time") != std::string::npos;
            Millis[name] = manual ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime();
        }
        ConsoleReporter::ReportRuns(Runs);
    }
};

void PrintRatios(const std::map<std::string, double>& Millis) {
    const auto find = [&](const std::string& Prefix, int Side) -> double {
        for (const auto& [name, ms] : Millis)
            if (name.rfind(Prefix + "/" + std::to_string(Side), 0) == 0)
                return ms;
        return 0;
    };
    std::printf("\nGrowth (64 -> 128 -> 255: 4.00 and 3.97 times the cells; target at most 4.4)\n");
    for (const char* row : {"BM_Save", "BM_Parse", "BM_Load", "BM_RoundTrip"}) {
        const double a = find(row, 64), b = find(row, 128), c = find(row, 255);
        if (a > 0 && b > 0 && c > 0)
            std::printf("  %-14s %.2fx  %.2fx\n", row, b / a, c / b);
    }
    std::printf("configparser parse / our parse (target at least 10)\n");
    for (const int side : {64, 128, 255}) {
        const double ours = find("BM_Parse", side), theirs = find("BM_ConfigParserParse", side);
        if (ours > 0 && theirs > 0)
            std::printf("  %3d x %-3d     %.1fx\n", side, side, theirs / ours);
    }
    std::printf("255 x 255: round trip %.2f ms (target at most 15), save %.2f ms and load %.2f ms "
                "(targets at most 6 each)\n",
                find("BM_RoundTrip", 255), find("BM_Save", 255), find("BM_Load", 255));
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    TRecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    PrintRatios(reporter.Millis);
    return 0;
}
