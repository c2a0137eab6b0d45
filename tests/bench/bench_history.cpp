// One cell edit (SetCellValue through a connection to the simulator library) of a
// 255 x 255 map read once, without and with an edit history watching the map, side by
// side. The history compares only the cell the write names and records one step per edit.

#include "data/EditHistory.h"
#include "link/QorConnection.h"
#include "tests/support/SimLibrary.h"

#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace qor {
namespace {

constexpr int MapCode = 0x40;
constexpr int Size = 255;

class TMapRig {
public:
    TMapRig() : FOwner(nullptr) {
        const std::string image = "/tmp/qor-bench-history-" + std::to_string(getpid()) + ".img";
        {
            std::ofstream out(image);
            out << "map " << MapCode << " Flat 0 u8 " << Size << " " << Size;
            for (int i = 0; i < Size * Size; ++i)
                out << " " << 100 + i % 50;
            out << "\n";
        }
        char error[256] = {};
        if (!FSim.Reset(image.c_str(), error, sizeof error))
            throw std::runtime_error(error);
        std::filesystem::remove(image);
        auto* link = new TQorConnection(&FOwner);
        link->SetDllName(std::filesystem::path(QOR_ECUSIM_FILE).filename().string());
        Map = new TQorMatrix(&FOwner);
        Map->SetConnection(link);
        Map->SetSerialCode(MapCode);
        Map->SetColCount(Size);
        Map->SetRowCount(Size);
        if (!Map->ReadFromEcu())
            throw std::runtime_error("the map cannot be read");
    }

    TQorMatrix* Map = nullptr;
    TComponent& Owner() { return FOwner; }

private:
    test::TSimLibrary FSim{QOR_ECUSIM_FILE};
    TComponent FOwner;
};

// The cell goes up and down in turn, so that every edit changes it.
void EditCells(benchmark::State& State, bool WithHistory) {
    TMapRig rig;
    if (WithHistory) {
        auto* history = new TQorEditHistory(&rig.Owner());
        history->Watch(rig.Map);
    }
    int k = 0;
    for (auto _ : State) {
        const int r = 100 + k % 16, c = 120;
        benchmark::DoNotOptimize(rig.Map->SetCellValue(r, c, (k / 16) % 2 ? 100 : 140));
        ++k;
    }
}

void BM_CellEdit_NoHistory(benchmark::State& State) {
    EditCells(State, false);
}
void BM_CellEdit_History(benchmark::State& State) {
    EditCells(State, true);
}
BENCHMARK(BM_CellEdit_NoHistory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CellEdit_History)->Unit(benchmark::kMicrosecond);

} // namespace
} // namespace qor

BENCHMARK_MAIN();
