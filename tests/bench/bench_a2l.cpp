// The ECU description reader on a generated file of 100,000 characteristics (values,
// curves and maps, about 50 MB, with the comments, IF_DATA and skipped blocks real files
// carry): reading it (MB/s of file), mapping the model, and both together with the peak of
// resident memory they add, against the targets of 100 MB/s and 3 times the file's size.

#include "a2l/A2lMapping.h"
#include "a2l/A2lReader.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <sstream>
#include <string>

namespace {

constexpr int Characteristics = 100000;

std::string GenerateA2l() {
    std::ostringstream o;
    o << "ASAP2_VERSION 1 71\n/begin PROJECT Bench \"generated\"\n"
         "  /begin MODULE Ecu \"a module of many characteristics\"\n"
         "    /begin MOD_COMMON \"\" BYTE_ORDER MSB_LAST ALIGNMENT_WORD 2 /end MOD_COMMON\n"
         "    /begin RECORD_LAYOUT RL_UW FNC_VALUES 1 UWORD ROW_DIR DIRECT /end RECORD_LAYOUT\n"
         "    /begin RECORD_LAYOUT RL_SB FNC_VALUES 1 SBYTE COLUMN_DIR DIRECT /end "
         "RECORD_LAYOUT\n"
         "    /begin COMPU_METHOD CM_Lin \"\" LINEAR \"%8.2\" \"rpm\" COEFFS_LINEAR 0.1 -40 "
         "/end COMPU_METHOD\n";
    char address[16];
    for (int i = 0; i < Characteristics; ++i) {
        std::snprintf(address, sizeof address, "0x%08X", 0x100000 + i * 64);
        o << "    /begin CHARACTERISTIC Char_" << i << " \"calibration value " << i
          << " of the generated module\"\n";
        if (i % 10 == 9) {
            o << "      MAP " << address << " RL_SB 0 CM_Lin -12.8 12.7\n"
              << "      /begin AXIS_DESCR FIX_AXIS Speed CM_Lin 8 0 8000 FIX_AXIS_PAR_DIST 0 "
                 "1000 8 /end AXIS_DESCR\n"
              << "      /begin AXIS_DESCR FIX_AXIS Load CM_Lin 4 0 100 FIX_AXIS_PAR 0 5 4 "
                 "/end AXIS_DESCR\n";
        } else {
            o << "      VALUE " << address << " RL_UW 0 CM_Lin -40 6513.5\n";
        }
        o << "      FORMAT \"%8.2\" PHYS_UNIT \"rpm\" EXTENDED_LIMITS -40 6553.5\n"
          << "      DISPLAY_IDENTIFIER char_" << i << " MAX_REFRESH 1 100\n"
          << "      /begin IF_DATA XCP /begin SEGMENT 0 2 0 0 0 /end SEGMENT /end IF_DATA\n"
          << "      /* tuned on the test bench, see the calibration notes of this release */\n"
          << "      /begin ANNOTATION ANNOTATION_LABEL \"note\" /begin ANNOTATION_TEXT "
             "\"kept from the previous software version\" /end ANNOTATION_TEXT /end "
             "ANNOTATION\n"
          << "    /end CHARACTERISTIC\n";
    }
    o << "  /end MODULE\n/end PROJECT\n";
    return o.str();
}

const std::string& File() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "qor-bench-100k.a2l").string();
        std::ofstream(p, std::ios::binary) << GenerateA2l();
        return p;
    }();
    return path;
}

std::int64_t FileSize() {
    return static_cast<std::int64_t>(std::filesystem::file_size(File()));
}

// Resident memory in kB: the current size, and the peak since the last reset.
long StatusKb(const char* Key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(Key, 0) == 0)
            return std::stol(line.substr(std::string(Key).size()));
    return 0;
}
void ResetPeak() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

void BM_ReadA2l(benchmark::State& State) {
    const std::int64_t bytes = FileSize();
    for (auto _ : State) {
        qor::a2l::TProject p = qor::a2l::ReadA2l(File());
        benchmark::DoNotOptimize(p);
    }
    State.SetBytesProcessed(State.iterations() * bytes);
    State.counters["MB_file"] = static_cast<double>(bytes) / 1e6;
}
BENCHMARK(BM_ReadA2l)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_MapA2l(benchmark::State& State) {
    const qor::a2l::TProject p = qor::a2l::ReadA2l(File());
    for (auto _ : State) {
        qor::a2l::TMapping m = qor::a2l::MapProject(p);
        benchmark::DoNotOptimize(m);
    }
}
BENCHMARK(BM_MapA2l)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// Read and mapped, with the resident memory both add at their peak. Run it on its own
// (--benchmark_filter=ReadAndMap) for a peak that no earlier benchmark's heap hides.
void BM_ReadAndMapA2l(benchmark::State& State) {
    const std::int64_t bytes = FileSize();
    double peakRatio = 0, peakMb = 0;
    for (auto _ : State) {
        State.PauseTiming();
        malloc_trim(0); // what earlier runs freed must not count as room already there
        const long before = StatusKb("VmRSS:");
        ResetPeak();
        State.ResumeTiming();
        {
            qor::a2l::TProject p = qor::a2l::ReadA2l(File());
            qor::a2l::TMapping m = qor::a2l::MapProject(p);
            benchmark::DoNotOptimize(m);
            State.PauseTiming();
            const double added = static_cast<double>(StatusKb("VmHWM:") - before) * 1024.0;
            peakMb = std::max(peakMb, added / 1e6);
            peakRatio = std::max(peakRatio, added / static_cast<double>(bytes));
            State.ResumeTiming();
        }
    }
    State.SetBytesProcessed(State.iterations() * bytes);
    State.counters["peak_MB"] = peakMb;
    State.counters["peak_per_file"] = peakRatio;
}
BENCHMARK(BM_ReadAndMapA2l)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace

BENCHMARK_MAIN();
