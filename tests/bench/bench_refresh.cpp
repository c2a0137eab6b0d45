// Live refresh: the cost of one refresh pass over 100 packet components on 10 packets
// (and whether it allocates), the lateness of passes behind their schedule with a 20 ms
// SleepTime on the real worker thread, and the CPU a stopped refresher uses.

#include "data/PacketData.h"
#include "framework/Control.h"
#include "framework/MainThreadQueue.h"
#include "link/DataRefresher.h"
#include "link/QorConnection.h"
#include "tests/support/SimLibrary.h"

#include <algorithm>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <new>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {
std::atomic<long> Allocations{0};
} // namespace

// Counts every allocation of the program, the simulator library's included. Not inlined,
// so that the compiler does not pair malloc with a delete it cannot see through.
[[gnu::noinline]] void* operator new(std::size_t Size) {
    Allocations.fetch_add(1, std::memory_order_relaxed);
    if (void* p = std::malloc(Size ? Size : 1))
        return p;
    throw std::bad_alloc();
}
[[gnu::noinline]] void operator delete(void* P) noexcept {
    std::free(P);
}
[[gnu::noinline]] void operator delete(void* P, std::size_t) noexcept {
    std::free(P);
}

namespace qor {
namespace {

using Clock = std::chrono::steady_clock;

// The simulator with 10 live packets, a connection and a refresher whose worker is
// suspended, with 10 packet components on each packet.
class TRefreshRig {
public:
    explicit TRefreshRig(int Components) {
        const std::string image = "/tmp/qor-bench-refresh-" + std::to_string(getpid()) + ".img";
        {
            std::ofstream out(image);
            for (int p = 0; p < 10; ++p)
                out << "packet " << 0x20 + p << " Live" << p << " " << 0x800 + 8 * p << " live\n";
        }
        char error[256] = {};
        if (!Sim.Reset(image.c_str(), error, sizeof error))
            throw std::runtime_error(error);
        std::remove(image.c_str());
        Connection->SetDllName(QOR_ECUSIM_FILE);
        if (!Connection->LoadDll())
            throw std::runtime_error("simulator not loaded");
        Refresher->SetConnection(Connection);
        while (!Refresher->Thread()->Suspended())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        for (int i = 0; i < Components; ++i) {
            auto* packet = new TQorPacketData(&Form);
            packet->SetSerialCode(0x20 + i % 10);
            packet->SetOffset(i / 10 % 5);
            packet->SetTimeInterval(20);
            packet->SetActive(true);
            packet->SetDataRefresher(Refresher);
        }
    }

    test::TSimLibrary Sim{QOR_ECUSIM_FILE};
    TComponent Form{nullptr};
    TQorConnection* Connection = new TQorConnection(&Form);
    TDataRefresher* Refresher = new TDataRefresher(&Form);
};

void BM_RefreshPass100Packets(benchmark::State& State) {
    TRefreshRig rig(100);
    TRefreshThread& thread = *rig.Refresher->Thread();
    std::uint32_t now = 0;
    thread.SetTickSource([&now] { return now; });
    thread.SetRunning(true); // the worker stays suspended: the passes are made here
    auto pass = [&](int I) {
        now += 1000; // every component is due
        thread.RefreshPass();
        if (I % 1024 == 1023)
            rig.Sim.ClearLog(); // keeps the simulator's call log at its capacity
    };
    for (int i = 0; i < 4096; ++i) // warm-up: buffers and the call log reach their size
        pass(i);
    const long before = Allocations.load();
    int i = 0;
    for (auto _ : State)
        pass(i++);
    State.counters["allocs_per_pass"] =
        benchmark::Counter(double(Allocations.load() - before) / double(State.iterations()));
    if (rig.Refresher->Thread()->Elements().size() != 10)
        State.SkipWithError("expected 10 elements");
}
BENCHMARK(BM_RefreshPass100Packets)->Unit(benchmark::kMicrosecond);

class TTimingControl : public TControl {
public:
    using TControl::TControl;
    std::vector<Clock::time_point> Times;

protected:
    void Dispatch(TMessage&) override { Times.push_back(Clock::now()); }
};

// Lateness of a pass: how much later than SleepTime after the previous pass it started.
void BM_PassLateness20ms(benchmark::State& State) {
    constexpr int Passes = 200;
    TRefreshRig rig(100);
    auto* control = new TTimingControl(&rig.Form);
    rig.Refresher->RegisterClient(control, 1, ddPacket | 0x20, -1); // due at every pass
    rig.Refresher->SetSleepTime(20);
    std::vector<double> lateness;
    for (auto _ : State) {
        control->Times.clear();
        control->Times.reserve(Passes + 1);
        rig.Refresher->Start();
        while (control->Times.size() < Passes + 1)
            CheckSynchronize(100);
        rig.Refresher->Stop();
        for (std::size_t i = 1; i < control->Times.size(); ++i) {
            const double gap =
                std::chrono::duration<double, std::micro>(control->Times[i] - control->Times[i - 1])
                    .count();
            lateness.push_back(gap - 20000.0);
        }
    }
    std::sort(lateness.begin(), lateness.end());
    auto at = [&](double q) { return lateness[std::size_t(q * double(lateness.size() - 1))]; };
    State.counters["late_median_us"] = at(0.5);
    State.counters["late_p99_us"] = at(0.99);
    State.counters["late_max_us"] = lateness.back();
}
BENCHMARK(BM_PassLateness20ms)->Iterations(1)->Unit(benchmark::kMillisecond);

// CPU time (ns) and context switches of every thread of this process but the calling one.
struct TThreadUse {
    long long CpuNs = 0;
    long long Switches = 0;
};
TThreadUse OtherThreadsUse() {
    TThreadUse use;
    const std::string self = std::to_string(gettid());
    DIR* dir = opendir("/proc/self/task");
    while (dirent* e = readdir(dir)) {
        const std::string tid = e->d_name;
        if (tid == "." || tid == ".." || tid == self)
            continue;
        std::ifstream sched("/proc/self/task/" + tid + "/schedstat");
        long long cpu = 0;
        sched >> cpu;
        use.CpuNs += cpu;
        std::ifstream status("/proc/self/task/" + tid + "/status");
        for (std::string line; std::getline(status, line);)
            if (line.rfind("voluntary_ctxt_switches:", 0) == 0 ||
                line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
                use.Switches += std::stoll(line.substr(line.find(':') + 1));
    }
    closedir(dir);
    return use;
}

void BM_StoppedRefresherCpu(benchmark::State& State) {
    TRefreshRig rig(100);
    // Started and stopped again: the worker has run and suspended itself.
    rig.Refresher->Start();
    for (int i = 0; i < 5; ++i)
        CheckSynchronize(30);
    rig.Refresher->Stop();
    while (!rig.Refresher->Thread()->Suspended())
        CheckSynchronize(5);
    TThreadUse before{}, after{};
    for (auto _ : State) {
        before = OtherThreadsUse();
        std::this_thread::sleep_for(std::chrono::seconds(1));
        after = OtherThreadsUse();
    }
    State.counters["worker_cpu_ns_per_s"] = double(after.CpuNs - before.CpuNs);
    State.counters["worker_wakeups_per_s"] = double(after.Switches - before.Switches);
}
BENCHMARK(BM_StoppedRefresherCpu)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
} // namespace qor

BENCHMARK_MAIN();
