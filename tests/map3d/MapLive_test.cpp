// The live operating point on the view: the simulator's live packet delivered by a started
// refresher moves the marker (one frame per pass, samples not rebuilt), nothing happens
// for packet messages while it is off, the point's cell, trail and lit cells in the
// frame, Space, and the properties in a form file.

#include "data/PacketData.h"
#include "framework/FormStreaming.h"
#include "link/DataRefresher.h"
#include "tests/map3d/MapKeyFixture.h"

#include <QCoreApplication>
#include <cmath>

namespace qor::test {
namespace {

constexpr int LivePacketCode = 0x20;
constexpr std::uint32_t LivePacketAddress = 0x0800;

class MapLive : public MapKeyFixture {
protected:
    void SetUp() override {
        MapKeyFixture::SetUp();
        Sim.SetLive(0); // the packet keeps the bytes the test writes
        Refresher = new TDataRefresher(&Owner);
        Refresher->SetConnection(Link);
        Refresher->SetRefreshAll(true); // every packet on every pass
        Speed = Packet(0, 2);
        Load = Packet(2, 1);
        Speed->SetOnGetData([this](TObject*) { ++SpeedDeliveries; });
        // Read once, so that placing the point reads the axes from their caches (a first
        // read would tell the view and draw a frame of its own).
        for (TQorVector* axis : {SpeedAxis(), LoadAxis()}) {
            ASSERT_TRUE(axis->ReadFromEcu());
            (axis->SerialCode() == SpeedAxisCode ? View->SetColRef(axis) : View->SetRowRef(axis));
        }
        View->SetHorizontalPosition(Speed);
        View->SetVerticalPosition(Load);
    }
    void TearDown() override {
        Refresher->Stop();
        MapKeyFixture::TearDown();
    }

    TQorPacketData* Packet(int Offset, int Length) {
        auto* p = new TQorPacketData(&Owner);
        p->SetSerialCode(LivePacketCode);
        p->SetDataLength(Length);
        p->SetDataMask(Length == 2 ? 0xFFFF : 0xFF);
        p->SetOffset(Offset);
        p->SetTimeInterval(20);
        p->SetDataRefresher(Refresher);
        p->SetActive(true);
        return p;
    }

    // The engine speed and load the simulator's packet holds from now on.
    void SetLivePacket(int Rpm, int LoadPercent) {
        const std::uint8_t bytes[3] = {static_cast<std::uint8_t>(Rpm & 0xFF),
                                       static_cast<std::uint8_t>(Rpm >> 8),
                                       static_cast<std::uint8_t>(LoadPercent)};
        ASSERT_EQ(Sim.WriteMemory(LivePacketAddress, bytes, 3), 1);
    }

    // Runs the refresher until it has delivered Passes more packets of engine speed, and
    // then lets the updates they asked for run.
    void RunPasses(int Passes) {
        const int until = SpeedDeliveries + Passes;
        Refresher->Start();
        ASSERT_TRUE(QTest::qWaitFor([&] { return SpeedDeliveries >= until; }, 5000));
        Refresher->Stop();
        QCoreApplication::sendPostedEvents();
    }

    // Where on Axis the position lies, read back: the value between its breakpoints.
    static double ValueAt(TQorVector& Axis, double Position) {
        const int k = static_cast<int>(std::floor(Position));
        double a = 0, b = 0;
        Axis.GetElementValue(k, a);
        Axis.GetElementValue(k + 1, b);
        return a + (Position - k) * (b - a);
    }

    TDataRefresher* Refresher = nullptr;
    TQorPacketData* Speed = nullptr;
    TQorPacketData* Load = nullptr;
    int SpeedDeliveries = 0;
};

TEST_F(MapLive, MarkerFollowsTheLivePacketOneFramePerPass) {
    View->SetShowOperatingPoint(true);
    const int builds = View->BuildCount();
    struct TCase {
        int Rpm, Load;
    };
    for (const TCase c : {TCase{3250, 40}, TCase{7000, 87}, TCase{200, 100}}) {
        SetLivePacket(c.Rpm, c.Load);
        const int frames = View->RenderCount();
        const int before = SpeedDeliveries;
        RunPasses(6);
        const int passes = SpeedDeliveries - before;
        ASSERT_TRUE(View->HasOperatingPoint());
        EXPECT_DOUBLE_EQ(View->HorizontalValue(), c.Rpm);
        EXPECT_DOUBLE_EQ(View->VerticalValue(), c.Load);
        // The point lies where the axes put the values (200 rpm is below the first speed
        // breakpoint: column 0).
        const TMapPoint p = View->OperatingPoint();
        EXPECT_NEAR(ValueAt(*View->ColRef(), p.Col), std::max(c.Rpm, 500), 1e-9) << c.Rpm;
        EXPECT_NEAR(ValueAt(*View->RowRef(), p.Row), c.Load, 1e-9) << c.Load;
        // Two packets a pass, at most one frame a pass, and no rebuild.
        const int drawn = View->RenderCount() - frames;
        EXPECT_GE(drawn, 1);
        EXPECT_LE(drawn, passes) << c.Rpm;
    }
    EXPECT_EQ(View->BuildCount(), builds);
    // The trail holds the three places, oldest first.
    ASSERT_EQ(View->Trail().Points().size(), 3u);
    EXPECT_EQ(View->Trail().Points().back(), View->OperatingPoint());
    EXPECT_EQ(View->Trail().Points().front().Col, 5.5); // 3250 rpm
}

TEST_F(MapLive, OffPacketMessagesDrawNothing) {
    SetLivePacket(3250, 40);
    const int frames = View->RenderCount();
    RunPasses(6);
    EXPECT_EQ(Speed->RawValue(), 3250);
    EXPECT_EQ(View->RenderCount(), frames);
    EXPECT_FALSE(View->HasOperatingPoint());
    EXPECT_FALSE(View->SceneFrame().Live.Visible);
    // Space is then an ordinary character: the selection stays.
    View->SetSelection({2, 2, 2, 2});
    Type(' ');
    EXPECT_EQ(View->Selection(), (TRect{2, 2, 2, 2}));
}

// Without axes the values are column and row numbers; the frame marks the point, lights
// its cells and draws the trail; Space selects the heaviest cell.
TEST_F(MapLive, WithoutAxesValuesAreCellNumbers) {
    View->SetColRef(nullptr);
    View->SetRowRef(nullptr);
    View->SetShowOperatingPoint(true);
    View->SetTrailLength(2);
    View->SetSelection({1, 1, 4, 4});
    for (const auto& [col, row] : {std::pair{1, 1}, {9, 3}, {4, 6}}) {
        SetLivePacket(col, row);
        RunPasses(2);
    }
    EXPECT_EQ(View->OperatingPoint(), (TMapPoint{3, 5}));
    EXPECT_EQ(View->Trail().Points(), (std::deque<TMapPoint>{{8, 2}, {3, 5}}));
    const TSceneFrame frame = View->SceneFrame();
    ASSERT_TRUE(frame.Live.Visible);
    const TCellArgs& cell = frame.Cells[3 * 16 + 5].Cell;
    EXPECT_EQ(frame.Live.Marker, (TPoint3{cell.X, cell.G, cell.Z}));
    ASSERT_EQ(frame.Live.LitCells.size(), 1u);
    EXPECT_EQ(frame.Live.LitCells[0].Weight, 1.0);
    EXPECT_EQ(frame.Live.Trail.size(), 2u);

    Type(' ');
    EXPECT_EQ(View->Selection(), (TRect{4, 6, 4, 6}));
    EXPECT_TRUE(View->Samples()[3 * 16 + 5].Selected);
    EXPECT_FALSE(View->Samples()[0].Selected);

    // Turned off: the point and its trail are gone, and the frame shows neither.
    View->SetShowOperatingPoint(false);
    EXPECT_FALSE(View->HasOperatingPoint());
    EXPECT_TRUE(View->Trail().Points().empty());
    EXPECT_FALSE(View->SceneFrame().Live.Visible);
}

TEST_F(MapLive, SpaceTakesTheCellThatCountsMost) {
    View->SetShowOperatingPoint(true);
    // 3400 rpm: 80 % of the way from 3000 to 3500 (columns 6 and 7, zero-based 5 and 6).
    double load0 = 0, load1 = 0;
    View->RowRef()->GetElementValue(3, load0);
    View->RowRef()->GetElementValue(4, load1);
    SetLivePacket(3400, static_cast<int>(std::lround(load0 + 0.25 * (load1 - load0))));
    RunPasses(2);
    ASSERT_EQ(View->OperatingPointWeights().size(), 4u);
    View->SetSelection({1, 1, 3, 3});
    Type(' ');
    EXPECT_EQ(View->Selection(), (TRect{7, 4, 7, 4}));
}

TEST_F(MapLive, PropertiesInAFormFile) {
    EXPECT_FALSE(View->ShowOperatingPoint());
    EXPECT_EQ(View->TrailLength(), 32);
    for (int ignored : {-1, 257})
        View->SetTrailLength(ignored);
    EXPECT_EQ(View->TrailLength(), 32);
    View->SetTrailLength(256);
    EXPECT_EQ(View->TrailLength(), 256);

    RegisterMap3DClasses();
    TForm form(nullptr);
    form.SetName("LiveForm");
    auto* view = new TQor3DMap(&form);
    view->SetName("View");
    const std::string plain = WriteComponentText(form);
    for (const char* absent : {"ShowOperatingPoint", "TrailLength", "OperatingPointColor"})
        EXPECT_EQ(plain.find(absent), std::string::npos) << plain;
    view->SetShowOperatingPoint(true);
    view->SetTrailLength(0);
    view->SetOperatingPointColor(clLime);
    const std::string text = WriteComponentText(form);
    TForm copy(nullptr);
    copy.LoadFromText(text);
    auto* read = dynamic_cast<TQor3DMap*>(copy.FindComponent("View"));
    ASSERT_NE(read, nullptr) << text;
    EXPECT_TRUE(read->ShowOperatingPoint());
    EXPECT_EQ(read->TrailLength(), 0);
    EXPECT_EQ(read->OperatingPointColor(), clLime);
}

} // namespace
} // namespace qor::test
