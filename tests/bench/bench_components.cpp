// Reading, writing and destroying forms of many components, as calibration projects hold: one
// connection and N numbers that refer to it, 1,000 to 16,000 of them. The time per
// component should stay flat as N grows (a cost per component that grows with N would
// show as a rising per-component figure).

#include "data/SerialData.h"
#include "framework/FormStreaming.h"
#include "link/QorConnection.h"

#include <benchmark/benchmark.h>
#include <memory>
#include <string>

namespace {

std::string FormText(int Numbers) {
    std::string text = "object Form: TComponent\n  object Link: TQorConnection\n  end\n";
    for (int i = 0; i < Numbers; ++i)
        text += "  object N" + std::to_string(i) +
                ": TQorNumber\n    SerialCode = 5\n    Connection = Link\n  end\n";
    return text + "end\n";
}

// Time per component: the figure that must stay flat as the form grows.
void ReportPerComponent(benchmark::State& State, int Components) {
    State.counters["per_component"] = benchmark::Counter(
        static_cast<double>(Components),
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ReadForm(benchmark::State& State) {
    qor::RegisterDataClasses();
    const int n = static_cast<int>(State.range(0));
    const std::string text = FormText(n);
    for (auto _ : State) {
        std::unique_ptr<qor::TComponent> form = qor::ReadComponentText(text);
        State.PauseTiming();
        form.reset();
        State.ResumeTiming();
    }
    ReportPerComponent(State, n);
}

void BM_DestroyForm(benchmark::State& State) {
    qor::RegisterDataClasses();
    const int n = static_cast<int>(State.range(0));
    const std::string text = FormText(n);
    for (auto _ : State) {
        State.PauseTiming();
        std::unique_ptr<qor::TComponent> form = qor::ReadComponentText(text);
        State.ResumeTiming();
        form.reset();
    }
    ReportPerComponent(State, n);
}

void BM_WriteForm(benchmark::State& State) {
    qor::RegisterDataClasses();
    const int n = static_cast<int>(State.range(0));
    const std::unique_ptr<qor::TComponent> form = qor::ReadComponentText(FormText(n));
    for (auto _ : State)
        benchmark::DoNotOptimize(qor::WriteComponentText(*form));
    ReportPerComponent(State, n);
}

BENCHMARK(BM_ReadForm)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Arg(16000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DestroyForm)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Arg(16000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WriteForm)
    ->Arg(1000)
    ->Arg(2000)
    ->Arg(4000)
    ->Arg(8000)
    ->Arg(16000)
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
