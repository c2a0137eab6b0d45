// The in-memory INI store on maps saved one key per cell ("Map<r>_<c>=<value>", one
// section of side x side lines): parsing a block, rendering it back (UpdateFile), writing
// and reading every cell, deleting a key. The time per cell shows whether the cost grows
// linearly from 64 x 64 to 255 x 255. As a reference, Python's configparser parses the
// same text in the same run; that row is skipped when python3 is not installed.

#include "inistore/Qormeminifile.h"
#include "tests/bench/ConfigParserReference.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using qor::TMemIniBlock;
using qor::TMemIniData;

std::string Key(int Row, int Col) {
    return "Map" + std::to_string(Row) + "_" + std::to_string(Col);
}

// A user value as "%g" writes it, varying from cell to cell.
std::string Value(int Row, int Col) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", ((Row * 37 + Col * 11) % 2048) * 0.125 - 40);
    return text;
}

std::string MapText(int Side) {
    std::string text = "[Map]\r\n";
    for (int r = 0; r < Side; ++r)
        for (int c = 0; c < Side; ++c)
            text += Key(r, c) + "=" + Value(r, c) + "\r\n";
    return text + "\r\n";
}

void CountCells(benchmark::State& State, int Side, std::size_t Bytes) {
    // CPU time per cell: the machine may be shared, which inflates the wall time.
    State.counters["per_cell"] =
        benchmark::Counter(double(Side) * Side, benchmark::Counter::kIsIterationInvariantRate |
                                                    benchmark::Counter::kInvert);
    if (Bytes > 0)
        State.SetBytesProcessed(static_cast<std::int64_t>(State.iterations() * Bytes));
}

void BM_Parse(benchmark::State& State) {
    const int side = static_cast<int>(State.range(0));
    const std::string text = MapText(side);
    TMemIniBlock block(text);
    for (auto _ : State) {
        TMemIniData ini(block.Ref(), text.size() + 5);
        benchmark::DoNotOptimize(ini.ReadString("Map", "Map0_0", ""));
    }
    CountCells(State, side, text.size());
}

void BM_Render(benchmark::State& State) {
    const int side = static_cast<int>(State.range(0));
    const std::string text = MapText(side);
    TMemIniBlock block(text);
    TMemIniData ini(block.Ref(), text.size() + 5);
    for (auto _ : State)
        ini.UpdateFile();
    if (qor::MemIniBlockText(block.Get()) != text)
        State.SkipWithError("rendered text differs from the parsed text");
    CountCells(State, side, text.size());
}

// Every cell written into an empty store, as saving a map does.
void BM_WriteAll(benchmark::State& State) {
    const int side = static_cast<int>(State.range(0));
    std::vector<std::string> keys, values;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c) {
            keys.push_back(Key(r, c));
            values.push_back(Value(r, c));
        }
    for (auto _ : State) {
        TMemIniBlock block;
        TMemIniData ini(block.Ref());
        for (std::size_t i = 0; i < keys.size(); ++i)
            ini.WriteString("Map", keys[i], values[i]);
        benchmark::DoNotOptimize(ini.ReadString("Map", keys[0], ""));
    }
    CountCells(State, side, 0);
}

// Every cell checked and read from a parsed store, as loading a map does.
void BM_ReadAll(benchmark::State& State) {
    const int side = static_cast<int>(State.range(0));
    const std::string text = MapText(side);
    TMemIniBlock block(text);
    TMemIniData ini(block.Ref(), text.size() + 5);
    std::vector<std::string> keys;
    for (int r = 0; r < side; ++r)
        for (int c = 0; c < side; ++c)
            keys.push_back(Key(r, c));
    for (auto _ : State)
        for (const std::string& key : keys) {
            benchmark::DoNotOptimize(ini.ValueExists("Map", key));
            benchmark::DoNotOptimize(ini.ReadString("Map", key, ""));
        }
    CountCells(State, side, 0);
}

// A key deleted from the middle of the section, then a look-up of a later key and the
// key written back (appended), as loading a command entry consumes it. The delete moves
// the lines after it and the look-up re-indexes them once: a cost linear in those lines.
void BM_DeleteKey(benchmark::State& State) {
    const int side = static_cast<int>(State.range(0));
    const std::string text = MapText(side);
    TMemIniBlock block(text);
    TMemIniData ini(block.Ref(), text.size() + 5);
    const std::string last = Key(side - 1, side - 1);
    int row = 0;
    for (auto _ : State) {
        const std::string key = Key(side / 2 + row, row); // a key that was not moved yet
        row = (row + 1) % (side / 2);
        ini.DeleteKey("Map", key);
        benchmark::DoNotOptimize(ini.ReadString("Map", last, ""));
        ini.WriteString("Map", key, "0");
    }
    State.counters["lines"] = double(side) * side;
}

void BM_ConfigParserParse(benchmark::State& State) {
    const int side = static_cast<int>(State.range(0));
    qor::bench::TimeConfigParser(State, MapText(side), "Map", long(side) * side);
    CountCells(State, side, 0);
}

void Sides(benchmark::internal::Benchmark* B) {
    B->Arg(64)->Arg(128)->Arg(255)->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_Parse)->Apply(Sides);
BENCHMARK(BM_Render)->Apply(Sides);
BENCHMARK(BM_WriteAll)->Apply(Sides);
BENCHMARK(BM_ReadAll)->Apply(Sides);
BENCHMARK(BM_DeleteKey)->Arg(255)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ConfigParserParse)->Apply(Sides)->UseManualTime()->Iterations(1);

} // namespace

BENCHMARK_MAIN();
