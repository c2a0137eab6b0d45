#pragma once
// Python's configparser as the side-by-side reference of our INI parsing: times
// read_string on an INI text inside one python3 process and reports the median of its
// runs as the benchmark's (manual) time. That is CPU time of the process, to compare with
// the CPU column of our own rows. The row is skipped when python3 is not installed.

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace qor::bench {

inline constexpr const char* kConfigParserScript =
    "import configparser, statistics, sys, time\n"
    "text = open(sys.argv[1], newline=\"\").read()\n"
    "times = []\n"
    "for _ in range(int(sys.argv[2])):\n"
    "    parser = configparser.ConfigParser()\n"
    "    start = time.process_time()\n"
    "    parser.read_string(text)\n"
    "    times.append(time.process_time() - start)\n"
    "print(statistics.median(times), len(parser[sys.argv[3]]))\n";

// Runs the benchmark's loop over configparser parsing Text; the section Section must end
// up with Keys keys. Register the benchmark with UseManualTime() and Iterations(1).
inline void TimeConfigParser(benchmark::State& State, const std::string& Text,
                             const std::string& Section, long Keys) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto tag = std::to_string(::getpid()) + "-" + std::to_string(Text.size());
    const auto textFile = dir / ("qor-bench-ini-" + tag + ".ini");
    const auto scriptFile = dir / ("qor-bench-configparser-" + tag + ".py");
    std::ofstream(textFile, std::ios::binary) << Text;
    std::ofstream(scriptFile, std::ios::binary) << kConfigParserScript;
    const std::string command = "python3 '" + scriptFile.string() + "' '" + textFile.string() +
                                "' 5 '" + Section + "' 2>/dev/null";

    for (auto _ : State) {
        double seconds = 0;
        long keys = 0;
        FILE* pipe = ::popen(command.c_str(), "r");
        const bool read = pipe && std::fscanf(pipe, "%lf %ld", &seconds, &keys) == 2;
        const int status = pipe ? ::pclose(pipe) : -1;
        if (!read || status != 0) {
            State.SkipWithError("python3 with configparser not available: row skipped");
            break;
        }
        if (keys != Keys) {
            State.SkipWithError("configparser read a different number of keys");
            break;
        }
        State.SetIterationTime(seconds);
    }
    std::filesystem::remove(textFile);
    std::filesystem::remove(scriptFile);
}

} // namespace qor::bench
