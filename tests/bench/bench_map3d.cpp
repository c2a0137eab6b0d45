// The 3-D map view on the software rasteriser: BuildSamples of a 255 x 255 map read from
// the cache, and one RenderScene frame (drawn, finished and read back) of 16 x 16, 64 x 64
// and 255 x 255 cells at 800 x 600, for the literal immediate-mode drawing and for the
// batched drawing the view uses, side by side. "Batched" redraws unchanged geometry (a
// camera move, a repaint); "BatchedNewGeometry" draws a frame whose samples changed since
// the last one, so its vertex arrays are rebuilt. "LiveUpdate" is one live operating point
// update as a refresh pass brings it: both position packets decoded, the update they ask
// for (placement on the two axes, weights, trail) and its frame with the marker, the lit
// cells and a full trail; compare it with "Batched" at the same size. "EditToFrame" is one
// Ctrl+Up or Ctrl+Down key up to the frame it draws, without and with an edit history.

#include "data/PacketData.h"
#include "gui/Application.h"
#include "gui/Form.h"
#include "link/QorConnection.h"
#include "map3d/EglOffscreenContext.h"
#include "map3d/Qor3DMap.h"
#include "tests/map3d/SoftwareRendering.h"
#include "tests/support/SimLibrary.h"

#include <QCoreApplication>
#include <QTest>
#include <QWindow>
#include <benchmark/benchmark.h>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace qor {
namespace {

constexpr int MapCode = 0x40;
constexpr int ColAxisCode = 0x41, RowAxisCode = 0x42;

// A simulator image holding one Size x Size map of smooth hills, and the map read once
// through a connection so that later cell reads come from the cache.
class TMapRig {
public:
    explicit TMapRig(int Size) : FOwner(nullptr) {
        const std::string image = "/tmp/qor-bench-map3d-" + std::to_string(getpid()) + ".img";
        {
            std::ofstream out(image);
            out << "map " << MapCode << " Hills 0 u8 " << Size << " " << Size;
            for (int r = 0; r < Size; ++r)
                for (int c = 0; c < Size; ++c)
                    out << " "
                        << static_cast<int>(100 + 60 * std::sin(r / 9.0) * std::cos(c / 7.0));
            out << "\n";
            // Column and row axes for the live operating point (500, 600, ... rpm and 10,
            // 11, ... %), where the memory has room for them.
            if (Size <= 128) {
                out << "vector " << ColAxisCode << " Speed 0xE000 u16 " << Size;
                for (int i = 0; i < Size; ++i)
                    out << " " << 500 + 100 * i;
                out << "\nvector " << RowAxisCode << " Load 0xF000 u8 " << Size;
                for (int i = 0; i < Size; ++i)
                    out << " " << 10 + i;
                out << "\n";
            }
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

private:
    test::TSimLibrary FSim{QOR_ECUSIM_FILE};
    TComponent FOwner;
};

void BM_BuildSamples(benchmark::State& State) {
    TMapRig rig(static_cast<int>(State.range(0)));
    TQor3DMap view(nullptr);
    view.SetData(rig.Map);
    for (auto _ : State) {
        view.BuildSamples();
        benchmark::DoNotOptimize(view.Samples().data());
    }
    State.SetItemsProcessed(State.iterations() * static_cast<long>(view.Samples().size()));
}
BENCHMARK(BM_BuildSamples)->Arg(255)->Unit(benchmark::kMillisecond);

// A view of 800 x 600 on a shown form, with its off-screen context.
class TViewRig {
public:
    explicit TViewRig(int Size) : Data(Size), Form(nullptr) {
        Form.SetBounds(0, 0, 800, 600);
        View = new TQor3DMap(&Form);
        View->SetParent(&Form);
        View->SetBounds(0, 0, 800, 600);
        View->SetData(Data.Map);
        View->SetSphereColorMode(scDynamic);
        View->SetSelection({2, 2, 4, 4});
        Form.Show();
        if (!QTest::qWaitForWindowExposed(Form.Widget()) || !View->ContextReady())
            throw std::runtime_error("no EGL context");
    }

    TMapRig Data;
    TForm Form;
    TQor3DMap* View = nullptr;
};

void RenderFrames(benchmark::State& State, TDrawMode Mode) {
    TViewRig rig(static_cast<int>(State.range(0)));
    rig.View->SetDrawMode(Mode);
    rig.View->RenderScene(); // the batched drawing builds its arrays here
    for (auto _ : State)
        rig.View->RenderScene();
    State.counters["cells"] = static_cast<double>(rig.View->Samples().size());
}

void BM_RenderScene_Literal(benchmark::State& State) {
    RenderFrames(State, TDrawMode::Literal);
}
void BM_RenderScene_Batched(benchmark::State& State) {
    RenderFrames(State, TDrawMode::Batched);
}

// The batched frame after every sample changed: two scenes drawn in turn, so that every
// frame finds new geometry.
void BM_RenderScene_BatchedNewGeometry(benchmark::State& State) {
    TViewRig rig(static_cast<int>(State.range(0)));
    TSceneFrame scenes[2] = {rig.View->SceneFrame(), rig.View->SceneFrame()};
    for (TCellPlacement& c : scenes[1].Cells)
        c.Cell.G += 0.1;
    TEglOffscreenContext context;
    if (!context.Create(800, 600))
        throw std::runtime_error("no EGL context");
    TMapRenderer renderer;
    renderer.InitGLState(scenes[0].Background);
    renderer.SetupProjection(800, 600);
    int k = 0;
    for (auto _ : State) {
        renderer.DrawFrame(scenes[k++ & 1], TDrawMode::Batched);
        TMapRenderer::Finish();
        context.SwapBuffers();
    }
    renderer.ReleaseGL();
}

// The cell goes up and down in turn, so that it stays within its byte. With a history the
// map is watched and each key is one recorded step.
void EditToFrame(benchmark::State& State, bool WithHistory) {
    TViewRig rig(static_cast<int>(State.range(0)));
    if (WithHistory) {
        auto* history = new TQorEditHistory(&rig.Form);
        history->Watch(rig.Data.Map);
        rig.View->SetHistory(history);
    }
    rig.View->SetSelection({20, 20, 20, 20});
    if (!QTest::qWaitForWindowActive(rig.Form.Widget()))
        throw std::runtime_error("the form does not become active");
    rig.View->SetFocus();
    QWindow* window = rig.Form.Widget()->windowHandle();
    rig.View->RenderScene();
    int k = 0;
    for (auto _ : State) {
        const int frames = rig.View->RenderCount();
        QTest::keyClick(window, k++ & 1 ? Qt::Key_Down : Qt::Key_Up, Qt::ControlModifier);
        if (rig.View->RenderCount() != frames + 1) {
            State.SkipWithError("the edit drew no frame");
            break;
        }
    }
    State.counters["cells"] = static_cast<double>(rig.View->Samples().size());
}
// An axis of the rig's image, read once so that the frames read it from the cache.
TQorVector* Axis(TComponent* Owner, TQorConnection* Link, int Code, int Size, int Length) {
    auto* axis = new TQorVector(Owner);
    axis->SetConnection(Link);
    axis->SetSerialCode(Code);
    axis->SetDataLength(Length);
    axis->SetDataMask(Length == 2 ? 0xFFFF : 0xFF);
    axis->SetArrayDimension(Size);
    if (!axis->ReadFromEcu())
        throw std::runtime_error("an axis cannot be read");
    return axis;
}

// The view rig with two axes and the two position packets; Pass delivers both packets as
// a refresh pass does and runs the update they asked for.
class TLiveRig {
public:
    explicit TLiveRig(int Size) : FSize(Size), Rig(Size), View(*Rig.View) {
        TQorConnection* link = Rig.Data.Map->Connection();
        View.SetColRef(Axis(&Rig.Form, link, ColAxisCode, Size, 2));
        View.SetRowRef(Axis(&Rig.Form, link, RowAxisCode, Size, 1));
        FSpeed = new TQorPacketData(&Rig.Form);
        FSpeed->SetDataLength(2);
        FSpeed->SetDataMask(0xFFFF);
        FLoad = new TQorPacketData(&Rig.Form);
        View.SetHorizontalPosition(FSpeed);
        View.SetVerticalPosition(FLoad);
    }

    // The point walks around a circle, so every pass finds a new place.
    void Pass() {
        const double t = FStep++ * 0.05, half = FSize / 2.0, third = FSize / 3.0;
        Deliver(*FSpeed, static_cast<int>(500 + 100 * (half + third * std::sin(t))));
        Deliver(*FLoad, static_cast<int>(10 + half + third * std::cos(t)));
        QCoreApplication::sendPostedEvents();
    }

private:
    static void Deliver(TQorPacketData& Packet, int Value) {
        std::uint8_t buffer[8] = {2,
                                  0,
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(Value & 0xFF),
                                  static_cast<std::uint8_t>(Value >> 8)};
        Packet.DecodePacket(buffer);
    }

    int FSize;
    int FStep = 0;
    TQorPacketData* FSpeed = nullptr;
    TQorPacketData* FLoad = nullptr;

public:
    TViewRig Rig;
    TQor3DMap& View;
};

// One live update: both packets, the placement and its frame (with a full trail).
void BM_LiveUpdate(benchmark::State& State) {
    TLiveRig live(static_cast<int>(State.range(0)));
    TQor3DMap& view = live.View;
    view.SetShowOperatingPoint(true);
    for (int i = 0; i < view.TrailLength(); ++i)
        live.Pass();
    const int builds = view.BuildCount();
    for (auto _ : State) {
        const int frames = view.RenderCount();
        live.Pass();
        if (view.RenderCount() != frames + 1) {
            State.SkipWithError("a live update drew no frame, or more than one");
            break;
        }
    }
    if (view.BuildCount() != builds)
        State.SkipWithError("a live update rebuilt the samples");
    State.counters["cells"] = static_cast<double>(view.Samples().size());
    State.counters["trail"] = static_cast<double>(view.Trail().Points().size());
}

// The plain frame of the same view (same axes and packets, no live point).
void BM_LiveUpdate_PlainFrame(benchmark::State& State) {
    TLiveRig live(static_cast<int>(State.range(0)));
    live.View.RenderScene();
    for (auto _ : State)
        live.View.RenderScene();
    State.counters["cells"] = static_cast<double>(live.View.Samples().size());
}
BENCHMARK(BM_LiveUpdate_PlainFrame)->Arg(64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LiveUpdate)->Arg(64)->Unit(benchmark::kMillisecond);

void BM_EditToFrame(benchmark::State& State) {
    EditToFrame(State, false);
}
void BM_EditToFrame_History(benchmark::State& State) {
    EditToFrame(State, true);
}
BENCHMARK(BM_EditToFrame)->Arg(64)->Arg(255)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_EditToFrame_History)->Arg(64)->Arg(255)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_RenderScene_Literal)->Arg(16)->Arg(64)->Arg(255)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScene_Batched)->Arg(16)->Arg(64)->Arg(255)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RenderScene_BatchedNewGeometry)
    ->Arg(16)
    ->Arg(64)
    ->Arg(255)
    ->Unit(benchmark::kMillisecond);

} // namespace
} // namespace qor

int main(int argc, char** argv) {
    qor::test::UseMesaSoftwareRendering();
    qor::TApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
