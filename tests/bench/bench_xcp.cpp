// The XCP library over the loopback beside the in-process simulator library, in one run:
// reads of a 16 x 16 map and single-value writes through the data components, and the
// round trip of one SHORT_UPLOAD (against one ReadData of the simulator).
//
// Argument 0: the simulator library; 1: the XCP library and the simulator's slave over
// UDP on 127.0.0.1.

#include "data/Matrix.h"
#include "data/Number.h"
#include "link/QorConnection.h"
#include "tests/support/SimLibrary.h"
#include "xcp/XcpMaster.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <unistd.h>

namespace qor {
namespace {

constexpr int FuelMap = 0x04;   // map u16 16 x 16 at 0x0200
constexpr int IdleSpeed = 0x05; // value u16 at 0x0400

// The simulator library, its slave on a free UDP port and a description file for it.
class TXcpRig {
public:
    TXcpRig() {
        Sim.ResetDefault();
        Port = Sim.XcpStart(qxtUdp, 0);
        std::ofstream(Path) << "slave 127.0.0.1 " << Port << " udp\n"
                            << "map 0x04 FuelMap 0x0200 u16 16 16\n"
                            << "value 0x05 IdleSpeed 0x0400 u16\n";
        setenv("QOR_XCP_DESCRIPTION", Path.c_str(), 1);
    }
    ~TXcpRig() { std::filesystem::remove(Path); }

    static TXcpRig& Get() {
        static TXcpRig rig;
        return rig;
    }

    test::TSimLibrary Sim{QOR_ECUSIM_FILE};
    int Port = 0;
    std::string Path = (std::filesystem::temp_directory_path() /
                        ("qor-bench-xcp-" + std::to_string(getpid()) + ".xcp"))
                           .string();
};

// A form with a connection to one of the two libraries.
struct TLinkForm {
    explicit TLinkForm(bool OverXcp) {
        TXcpRig::Get();
        Link->SetDllName(OverXcp ? QOR_XCP_FILE : QOR_ECUSIM_FILE);
        if (!Link->LoadDll())
            throw std::runtime_error("cannot load the library");
    }
    TComponent Form{nullptr};
    TQorConnection* Link = new TQorConnection(&Form);
};

const char* LinkName(std::int64_t Arg) {
    return Arg ? "xcp-udp" : "simulator";
}

void BM_MapRead16x16(benchmark::State& State) {
    TLinkForm f(State.range(0) != 0);
    auto* map = new TQorMatrix(&f.Form);
    map->SetConnection(f.Link);
    map->SetSerialCode(FuelMap);
    map->SetDataLength(2);
    map->SetColCount(16);
    map->SetRowCount(16);
    for (auto _ : State)
        if (!map->ReloadFromEcu())
            State.SkipWithError("read failed");
    State.SetItemsProcessed(State.iterations());
    State.SetLabel(LinkName(State.range(0)));
}

void BM_ValueWrite(benchmark::State& State) {
    TLinkForm f(State.range(0) != 0);
    auto* n = new TQorNumber(&f.Form);
    n->SetConnection(f.Link);
    n->SetSerialCode(IdleSpeed);
    n->SetDataLength(2);
    int value = 800;
    for (auto _ : State)
        if (!n->WriteEcuValue(value++ & 0x3FF))
            State.SkipWithError("write failed");
    State.SetItemsProcessed(State.iterations());
    State.SetLabel(LinkName(State.range(0)));
}

// One 2-byte read: a SHORT_UPLOAD on the wire, or one ReadData of the simulator.
void BM_OneValueRoundTrip(benchmark::State& State) {
    if (State.range(0) == 0) {
        TLinkForm f(false);
        TSerInterface* ser = f.Link->SerInterface();
        std::int32_t v = 0;
        for (auto _ : State)
            benchmark::DoNotOptimize(ser->ReadData(0x205, &v));
    } else {
        xcp::MasterSettings s;
        s.Port = TXcpRig::Get().Port;
        xcp::Master m(s);
        if (!m.Connect(m.CallDeadline()))
            State.SkipWithError("no CONNECT");
        std::uint8_t b[2];
        for (auto _ : State)
            if (!m.Upload(0x0400, 0, b, m.CallDeadline()))
                State.SkipWithError("SHORT_UPLOAD failed");
    }
    State.SetLabel(State.range(0) ? "SHORT_UPLOAD over udp" : "simulator ReadData");
}

// How long one call waits for a slave that has stopped answering (timeout 100 ms): the
// library promises never to block a call longer than its timeout.
void BM_SilentSlaveCall(benchmark::State& State) {
    xcp::MasterSettings s;
    s.Port = TXcpRig::Get().Port;
    s.Timeout = std::chrono::milliseconds(100);
    xcp::Master m(s);
    std::uint8_t b[2];
    for (auto _ : State) {
        State.PauseTiming();
        TXcpRig::Get().Sim.ResetDefault();
        const bool up = static_cast<bool>(m.Connect(m.CallDeadline()));
        const QorSimXcpFault silent{qxfDropAnswer, qxcAnyCommand, 1000, 0};
        TXcpRig::Get().Sim.XcpAddFault(&silent);
        State.ResumeTiming();
        if (!up || m.Upload(0x0400, 0, b, m.CallDeadline()).What != xcp::Outcome::Timeout)
            State.SkipWithError("the silent slave answered");
    }
    TXcpRig::Get().Sim.ResetDefault();
    State.SetLabel("timeout 100 ms");
}

BENCHMARK(BM_MapRead16x16)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_ValueWrite)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_OneValueRoundTrip)->Arg(0)->Arg(1)->UseRealTime();
BENCHMARK(BM_SilentSlaveCall)->Iterations(5)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
} // namespace qor

BENCHMARK_MAIN();
