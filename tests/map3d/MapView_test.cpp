// The view without a rendering context: properties and their defaults, the binding to the
// data components, samples, spacing, which messages rebuild and which redraw, and the
// lifetime of the references in every order of destruction.

#include "data/PacketData.h"
#include "framework/Properties.h"
#include "gui/Form.h"
#include "tests/map3d/MapFixture.h"

#include <QTest>
#include <memory>

namespace qor::test {
namespace {

bool IsClient(TQorSerialData* Source, TComponent* Client) {
    const auto& clients = Source->Clients();
    return std::find(clients.begin(), clients.end(), Client) != clients.end();
}

// Writes one element of an axis through a block write, which tells the clients.
void WriteAxis(TQorVector& Axis, int Index, std::int32_t Raw) {
    double ignored = 0;
    Axis.GetElementValue(0, ignored);
    std::vector<std::int32_t> values = Axis.RawValues();
    values[static_cast<std::size_t>(Index)] = Raw;
    ASSERT_TRUE(Axis.WriteRawElements(values));
}

using MapView = MapFixture;

TEST_F(MapView, DefaultsAndPublishedPropertiesInOrder) {
    TQor3DMap view(nullptr);
    EXPECT_EQ(view.Data(), nullptr);
    EXPECT_EQ(view.RowRef(), nullptr);
    EXPECT_EQ(view.BackGroundColor(), clSilver);
    EXPECT_EQ(view.SphereColorMode(), scFixed);
    EXPECT_EQ(view.EditMode(), emSingle);
    EXPECT_FLOAT_EQ(view.SphereRadius(), 0.15f);
    EXPECT_TRUE(view.EnableDrawSphere() && view.EnableDrawLine() && view.EnableDrawTriangles());
    EXPECT_TRUE(view.EnableModPanel());
    EXPECT_FALSE(view.DefaultDistance());
    EXPECT_EQ(view.SphereColor(), clBlack);
    EXPECT_TRUE(view.TabStop());
    EXPECT_FALSE(view.ContextReady());
    EXPECT_TRUE(view.Samples().empty());
    EXPECT_EQ(view.Selection(), (TRect{1, 1, 1, 1}));
    EXPECT_EQ(view.Camera(), (TCamera{0, 0.85f, 2.0f, -2.0f, 0.028f}));
    EXPECT_EQ(view.Camera(), view.DefaultCamera());
    EXPECT_FALSE(view.Rotated());
    EXPECT_EQ(view.CellMax(), INT_MIN);
    EXPECT_EQ(view.CellMin(), INT_MAX);

    RegisterMap3DClasses();
    const TMetaClass* meta = TClassRegistry::FindByName("TQor3DMap");
    ASSERT_NE(meta, nullptr);
    std::vector<std::string> names;
    for (const TPropInfo& p : meta->Properties)
        names.push_back(p.Name);
    const std::vector<std::string> own{"Data",
                                       "RowRef",
                                       "ColRef",
                                       "HorizontalPosition",
                                       "VerticalPosition",
                                       "BackGroundColor",
                                       "SphereColorMode",
                                       "EditMode",
                                       "SphereRadius",
                                       "EnableDrawSphere",
                                       "EnableDrawLine",
                                       "EnableDrawTriangles",
                                       "EnableModPanel",
                                       "DefaultDistance",
                                       "SphereColor",
                                       "ShowOperatingPoint",
                                       "TrailLength",
                                       "OperatingPointColor",
                                       "History",
                                       "ShowChanges"};
    ASSERT_GE(names.size(), own.size());
    EXPECT_EQ(std::vector<std::string>(names.end() - own.size(), names.end()), own);
    // Nothing but the published defaults: a new view writes no property of its own.
    for (const TPropInfo& p : meta->Properties)
        if (std::find(own.begin(), own.end(), p.Name) != own.end() && p.Get) {
            EXPECT_EQ(p.Get(view), p.Default) << p.Name;
        }
}

TEST_F(MapView, SphereRadiusIsClampedAndRedraws) {
    TQor3DMap view(nullptr);
    struct TCase {
        float Set, Stored;
    };
    for (const TCase c : {TCase{1.0f, 0.25f}, TCase{0.01f, 0.05f}, TCase{0.2f, 0.2f},
                          TCase{0.25f, 0.25f}, TCase{0.05f, 0.05f}, TCase{-3.0f, 0.05f}}) {
        const int frames = view.RenderCount();
        view.SetSphereRadius(c.Set);
        EXPECT_FLOAT_EQ(view.SphereRadius(), c.Stored) << c.Set;
        EXPECT_EQ(view.RenderCount(), frames + 1);
    }
}

TEST_F(MapView, SamplesAreColumnMajorWithTruncatedLimits) {
    TQor3DMap view(&Owner);
    TQorMatrix* map = IgnitionMap();
    ASSERT_TRUE(map->ReadFromEcu()); // a first read in the rebuild would notify the view
    view.SetData(map);
    EXPECT_TRUE(IsClient(map, &view));
    EXPECT_EQ(view.ColCountSnapshot(), 16);
    EXPECT_EQ(view.RowCountSnapshot(), 16);
    ASSERT_EQ(view.Samples().size(), 256u);
    for (int c = 0; c < 16; ++c)
        for (int r = 0; r < 16; ++r)
            ASSERT_DOUBLE_EQ(view.Samples()[c * 16 + r].Height, IgnitionValue(r, c) * 0.1)
                << r << "," << c;
    EXPECT_EQ(view.CellMax(), 38);
    EXPECT_EQ(view.CellMin(), -10);
    EXPECT_EQ(view.SceneFrame().CellMax, 38);
    // Setting Data rebuilds but does not redraw.
    EXPECT_EQ(view.RenderCount(), 0);
    EXPECT_EQ(view.BuildCount(), 1);

    // Fractional values: the limits are truncated toward zero, the comparisons are not.
    const auto shifted = [](TObject*, int Raw, double& User) { User = Raw + 0.7; };
    map->SetOnConvertToUser(shifted);
    map->SetOnConvertToUserIndex(
        [&](TObject* o, int Raw, double& User, int) { shifted(o, Raw, User); });
    map->SetTransformation(ttCustom);
    view.BuildSamples();
    EXPECT_DOUBLE_EQ(view.Samples()[0].Height, (8 + 0.7) * 0.1);
    EXPECT_EQ(view.CellMax(), 38);
    EXPECT_EQ(view.CellMin(), -9); // -9.3 truncated toward zero
}

TEST_F(MapView, SelectionFlagsFollowTheOneBasedRectangle) {
    TQor3DMap view(&Owner);
    view.SetData(IgnitionMap());
    view.SetSelection({2, 3, 4, 5}); // columns 2 ... 4, rows 3 ... 5
    int selected = 0;
    for (int c = 0; c < 16; ++c)
        for (int r = 0; r < 16; ++r) {
            const bool expected = c >= 1 && c <= 3 && r >= 2 && r <= 4;
            EXPECT_EQ(view.Samples()[c * 16 + r].Selected, expected) << r << "," << c;
            selected += view.Samples()[c * 16 + r].Selected;
        }
    EXPECT_EQ(selected, 9);
    // A rebuild keeps the selection.
    view.BuildSamples();
    EXPECT_TRUE(view.Samples()[1 * 16 + 2].Selected);
    EXPECT_FALSE(view.Samples()[0].Selected);
}

// Which messages and setters rebuild the samples and which draw a frame.
TEST_F(MapView, MessagesAndSettersThatRebuildAndRedraw) {
    TQor3DMap view(&Owner);
    TQorMatrix* map = IgnitionMap();
    TQorVector* speed = SpeedAxis();
    TQorVector* load = LoadAxis();
    auto* packet = new TQorPacketData(&Owner);
    // Read once, so that no first read inside the cases notifies the view.
    ASSERT_TRUE(map->ReadFromEcu() && speed->ReadFromEcu() && load->ReadFromEcu());
    view.SetData(map);
    view.SetColRef(speed);
    view.SetRowRef(load);
    view.SetHorizontalPosition(packet);
    view.SetVerticalPosition(packet);
    EXPECT_EQ(view.RenderCount(), 0); // no setter of a reference redraws

    struct TCase {
        const char* Name;
        std::function<void()> Act;
        int Builds, Frames;
    };
    const auto changed = [&](TComponent* Sender) {
        return
            [&view, Sender] { view.Perform(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(Sender), 0); };
    };
    const TCase cases[] = {
        {"WM_DATA_CHANGED from Data", changed(map), 1, 1},
        {"WM_DATA_CHANGED from ColRef", changed(speed), 0, 1},
        {"WM_DATA_CHANGED from RowRef", changed(load), 0, 1},
        {"WM_DATA_CHANGED from a position", changed(packet), 0, 0},
        {"WM_DATA_CHANGED from elsewhere", changed(&Owner), 0, 0},
        {"a cell written through the map", [&] { map->SetCellValue(2, 3, 20); }, 1, 1},
        {"an axis written", [&] { WriteAxis(*speed, 3, 2100); }, 0, 1},
        {"SphereColorMode", [&] { view.SetSphereColorMode(scDynamic); }, 0, 1},
        {"SphereColor", [&] { view.SetSphereColor(clRed); }, 0, 1},
        {"DefaultDistance", [&] { view.SetDefaultDistance(true); }, 0, 1},
        {"BackGroundColor", [&] { view.SetBackGroundColor(clWhite); }, 0, 0},
        {"EnableDrawLine", [&] { view.SetEnableDrawLine(false); }, 0, 0},
        {"EditMode", [&] { view.SetEditMode(emMultiple); }, 0, 0},
        {"Data set again", [&] { view.SetData(map); }, 1, 0},
    };
    for (const TCase& c : cases) {
        const int builds = view.BuildCount(), frames = view.RenderCount();
        c.Act();
        EXPECT_EQ(view.BuildCount() - builds, c.Builds) << c.Name;
        EXPECT_EQ(view.RenderCount() - frames, c.Frames) << c.Name;
    }
    EXPECT_DOUBLE_EQ(view.Samples()[3 * 16 + 2].Height, 2.0);

    // One vector in both roles redraws once for each.
    view.SetRowRef(speed);
    const int frames = view.RenderCount();
    changed(speed)();
    EXPECT_EQ(view.RenderCount() - frames, 2);
}

// A vector in two roles stays registered while one role still refers to it.
TEST_F(MapView, ReplacingOneRoleKeepsTheOtherRegistered) {
    TQor3DMap view(&Owner);
    TQorVector* speed = SpeedAxis();
    view.SetColRef(speed);
    view.SetRowRef(speed);
    view.SetRowRef(nullptr);
    EXPECT_TRUE(IsClient(speed, &view));
    view.SetColRef(LoadAxis());
    EXPECT_FALSE(IsClient(speed, &view));
}

TEST_F(MapView, DataSetToNullKeepsSamplesAndRuntimeDataWaitsForARedraw) {
    TQor3DMap view(&Owner);
    TQorMatrix* map = IgnitionMap();
    view.SetData(map);
    const std::vector<MAP_SAMPLE> before = view.Samples();
    view.SetData(nullptr);
    EXPECT_FALSE(IsClient(map, &view));
    EXPECT_EQ(view.Samples().size(), before.size());
    EXPECT_EQ(view.SceneFrame().Cells.size(), 256u); // still drawn by later frames
    // The old map's changes no longer reach the view.
    const int builds = view.BuildCount(), frames = view.RenderCount();
    map->SetCellValue(0, 0, 30);
    EXPECT_EQ(view.BuildCount(), builds);
    EXPECT_EQ(view.RenderCount(), frames);

    // A new map at run time: samples rebuilt, nothing drawn until the next trigger.
    TQorMatrix* other = IgnitionMap();
    other->SetColCount(4);
    other->SetRowCount(2);
    view.SetData(other);
    EXPECT_EQ(view.RenderCount(), frames);
    EXPECT_EQ(view.Samples().size(), 8u);
    EXPECT_EQ(view.SceneFrame().Cells.size(), 8u);
}

TEST_F(MapView, SpacingFromTheReferenceAxes) {
    TQor3DMap view(&Owner);
    EXPECT_DOUBLE_EQ(view.ColumnSpacingAt(3), 4.0);
    EXPECT_DOUBLE_EQ(view.RowSpacingAt(3), 2.0);
    view.SetColRef(SpeedAxis()); // 500, 1000, ...: first breakpoint equals the step
    view.SetRowRef(LoadAxis());  // 10, 16, 22, ...
    EXPECT_DOUBLE_EQ(view.ColumnSpacingAt(0), 4.0);
    EXPECT_DOUBLE_EQ(view.ColumnSpacingAt(5), 4.0);
    EXPECT_DOUBLE_EQ(view.RowSpacingAt(0), 2.0);
    EXPECT_DOUBLE_EQ(view.RowSpacingAt(1), 6.0 / 10 * 4 * 0.5);
    // An index beyond the axis reads 0.
    EXPECT_DOUBLE_EQ(view.ColumnSpacingAt(16), (0 - 8000) / 500.0 * 4);

    view.SetData(IgnitionMap());
    const auto rows = [&] {
        std::vector<double> s;
        for (const TCellPlacement& c : view.SceneFrame().Cells)
            if (c.Cell.I < 16)
                s.push_back(c.Cell.S);
        return s;
    };
    EXPECT_DOUBLE_EQ(rows()[0], 1.2);
    EXPECT_DOUBLE_EQ(rows()[15], 1.0); // the last row
    view.SetDefaultDistance(true);
    for (double s : rows())
        EXPECT_DOUBLE_EQ(s, 2.0);

    // A first breakpoint of 0 (an axis whose reads fail reads its cached zeros).
    Sim.FailSerialCode(SpeedAxisCode, 1);
    TQorVector* zeros = SpeedAxis();
    view.SetColRef(zeros);
    EXPECT_DOUBLE_EQ(view.ColumnSpacingAt(4), 4.0);
    Sim.ClearFaults();
}

// A map that changes its shape is shown with the new shape; no cell outside it is read.
TEST_F(MapView, ResizedMapTakesANewSnapshot) {
    TQor3DMap view(&Owner);
    TQorMatrix* map = IgnitionMap();
    map->SetConnection(nullptr); // cells keep what they are given
    view.SetData(map);
    const int frames = view.RenderCount();
    map->SetColCount(3);
    EXPECT_EQ(view.ColCountSnapshot(), 3);
    EXPECT_EQ(view.RowCountSnapshot(), 16);
    EXPECT_EQ(view.Samples().size(), 48u);
    EXPECT_EQ(view.RenderCount(), frames + 1);
    map->SetRowCount(2);
    map->SetCellValue(1, 2, 7);
    EXPECT_EQ(view.Samples().size(), 6u);
    EXPECT_DOUBLE_EQ(view.Samples()[2 * 2 + 1].Height, 0.7);
    // Another map's shape news is not Data's.
    TQorMatrix* other = IgnitionMap();
    other->AddClient(&view);
    other->SetColCount(9);
    EXPECT_EQ(view.ColCountSnapshot(), 3);
}

// A read inside the rebuild that notifies the view rebuilds from inside the rebuild: one
// sample per cell in column-major order all the same.
TEST_F(MapView, ReentrantRebuildLeavesOneSamplePerCell) {
    TQor3DMap view(&Owner);
    TQorMatrix* map = IgnitionMap(); // not read yet: the first cell read fetches the map
    ASSERT_FALSE(map->DataValid());
    view.SetData(map);
    EXPECT_EQ(view.BuildCount(), 2);
    EXPECT_EQ(view.RenderCount(), 1);
    ASSERT_EQ(view.Samples().size(), 256u);
    for (int c = 0; c < 16; ++c)
        for (int r = 0; r < 16; ++r)
            ASSERT_DOUBLE_EQ(view.Samples()[c * 16 + r].Height, IgnitionValue(r, c) * 0.1);
    EXPECT_EQ(view.SceneFrame().Cells.size(), 256u);
}

// Destroying a referenced component clears the reference; destroying the view leaves no
// client entry behind. Both orders, for the map, an axis and a packet.
TEST_F(MapView, DestructionInEitherOrderLeavesNoDanglingReference) {
    {
        auto view = std::make_unique<TQor3DMap>(nullptr);
        auto map = std::unique_ptr<TQorMatrix>(IgnitionMap());
        auto axis = std::unique_ptr<TQorVector>(SpeedAxis());
        auto packet = std::make_unique<TQorPacketData>(nullptr);
        view->SetData(map.get());
        view->SetColRef(axis.get());
        view->SetRowRef(axis.get());
        view->SetHorizontalPosition(packet.get());
        map.reset();
        axis.reset();
        packet.reset();
        EXPECT_EQ(view->Data(), nullptr);
        EXPECT_EQ(view->ColRef(), nullptr);
        EXPECT_EQ(view->RowRef(), nullptr);
        EXPECT_EQ(view->HorizontalPosition(), nullptr);
        // The kept samples are drawn with the default spacing; nothing is read.
        view->RenderScene();
        view->BuildSamples();
        EXPECT_EQ(view->SceneFrame().Cells.size(), 256u);
    }
    {
        TQorMatrix* map = IgnitionMap();
        TQorVector* axis = LoadAxis();
        auto* packet = new TQorPacketData(&Owner);
        auto view = std::make_unique<TQor3DMap>(nullptr);
        view->SetData(map);
        view->SetRowRef(axis);
        view->SetVerticalPosition(packet);
        view.reset();
        EXPECT_TRUE(map->Clients().empty());
        EXPECT_TRUE(axis->Clients().empty());
        EXPECT_TRUE(packet->Clients().empty());
        map->SetCellValue(0, 0, 1); // notifies nobody
        WriteAxis(*axis, 0, 12);
    }
}

// Without a context the control works as a panel: shown, resized, painted and grabbed.
class TNoContextMap : public TQor3DMap {
public:
    using TQor3DMap::TQor3DMap;
    int ProvidersMade = 0;

protected:
    std::unique_ptr<TGLContextProvider> CreateContextProvider() override {
        ++ProvidersMade;
        return nullptr;
    }
};

TEST_F(MapView, WithoutAContextTheViewIsAPanel) {
    TForm form(nullptr);
    form.SetBounds(0, 0, 300, 200);
    auto* view = new TNoContextMap(&form);
    view->SetParent(&form);
    view->SetBounds(0, 0, 300, 0);
    TQorMatrix* map = IgnitionMap();
    ASSERT_TRUE(map->ReadFromEcu());
    view->SetData(map);
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Widget()));
    EXPECT_EQ(view->ProvidersMade, 1);
    EXPECT_FALSE(view->ContextReady());
    EXPECT_EQ(view->RenderCount(), 1); // the first frame of WM_CREATE, drawing nothing
    EXPECT_EQ(view->Height(), 1);      // a height of 0 becomes 1 for the projection
    view->SetBounds(0, 0, 200, 150);
    view->Perform(WM_DATA_CHANGED, reinterpret_cast<WPARAM>(view->Data()), 0);
    EXPECT_FALSE(form.Widget()->grab().isNull());
    EXPECT_TRUE(view->Picture().Pixels.empty());
    // A second WM_CREATE makes no second context.
    view->Perform(WM_CREATE, 0, 0);
    EXPECT_EQ(view->ProvidersMade, 1);
}

// A provider that fails by raising: the exception goes no further than WM_CREATE.
class TThrowingContext : public TGLContextProvider {
public:
    bool Create(int, int) override { throw std::runtime_error("no pixel format"); }
    bool MakeCurrent() override { return false; }
    void DoneCurrent() override {}
    void Resize(int, int) override {}
    void SwapBuffers() override {}
    const TFrameImage& FrontBuffer() const override { return Empty; }
    TFrameImage Empty;
};

class TThrowingContextMap : public TQor3DMap {
public:
    using TQor3DMap::TQor3DMap;

protected:
    std::unique_ptr<TGLContextProvider> CreateContextProvider() override {
        return std::make_unique<TThrowingContext>();
    }
};

TEST_F(MapView, ContextCreationThatRaisesIsSwallowed) {
    TThrowingContextMap view(nullptr);
    EXPECT_NO_THROW(view.Perform(WM_CREATE, 0, 0));
    EXPECT_FALSE(view.ContextReady());
    EXPECT_EQ(view.RenderCount(), 1); // the first frame still runs, drawing nothing
    EXPECT_NO_THROW(view.SetBounds(0, 0, 50, 40));
}

TEST_F(MapView, DesignModeDoesNoGLWork) {
    TForm form(nullptr);
    auto* view = new TNoContextMap(&form);
    view->SetDesigning(true);
    view->SetParent(&form);
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form.Widget()));
    EXPECT_EQ(view->ProvidersMade, 0);
    EXPECT_FALSE(view->ContextReady());
}

} // namespace
} // namespace qor::test
