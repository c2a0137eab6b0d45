// Real frames of a 16 x 16 map bound to the simulator's ignition map, drawn off-screen on
// Mesa's software rasteriser and compared with the reference pictures in data/. Each test
// writes its pictures into the build folder (map3d-pictures/). Setting
// QOR_UPDATE_PICTURES=1 writes the references anew instead of comparing.

#include "data/PacketData.h"
#include "gui/Form.h"
#include "map3d/EglOffscreenContext.h"
#include "tests/map3d/MapFixture.h"
#include "tests/map3d/PictureCompare.h"

#include <QTest>
#include <QtGlobal>
#include <cmath>
#include <functional>
#include <memory>

namespace qor::test {
namespace {

constexpr int PictureWidth = 400, PictureHeight = 300;

class MapRendering : public MapFixture {
protected:
    void SetUp() override {
        MapFixture::SetUp();
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(0, 0, PictureWidth, PictureHeight);
        View = NewView(*Form);
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Form->Widget()));
        ASSERT_TRUE(View->ContextReady()) << "no EGL context on this machine";
    }
    void TearDown() override { Form.reset(); }

    TQor3DMap* NewView(TForm& Parent) {
        auto* view = new TQor3DMap(&Parent);
        view->SetParent(&Parent);
        view->SetBounds(0, 0, PictureWidth, PictureHeight);
        TQorMatrix* map = IgnitionMap();
        map->ReadFromEcu();
        view->SetData(map);
        return view;
    }

    QImage Draw(TDrawMode Mode) {
        View->SetDrawMode(Mode);
        View->RenderScene();
        return ToImage(View->Picture());
    }

    // Draws the batched frame, checks it against its reference and against the literal
    // drawing of the same scene.
    void CheckPicture(const std::string& Name) {
        const QImage batched = Draw(TDrawMode::Batched);
        const QImage literal = Draw(TDrawMode::Literal);
        ASSERT_EQ(batched.size(), QSize(PictureWidth, PictureHeight));
        SavePicture(batched, Name);
        SavePicture(literal, Name + "-literal");
        EXPECT_GE(ColourCount(batched), 16) << Name << ": a picture of one colour";

        const TPictureDifference same = Compare(batched, literal);
        RecordProperty("literal_different_percent", std::to_string(same.DifferentShare * 100));
        RecordProperty("literal_mean_difference", std::to_string(same.MeanDifference));
        EXPECT_TRUE(same.Matches())
            << Name << ": batched and literal differ in " << same.DifferentShare * 100
            << "% of the pixels, mean " << same.MeanDifference;

        const QString reference =
            QStringLiteral(QOR_TEST_DATA_DIR "/") + QString::fromStdString(Name) + ".png";
        if (qEnvironmentVariableIsSet("QOR_UPDATE_PICTURES")) {
            batched.save(reference);
            return;
        }
        const QImage expected(reference);
        ASSERT_FALSE(expected.isNull()) << "missing reference " << reference.toStdString();
        const TPictureDifference d = Compare(batched, expected);
        RecordProperty("reference_different_percent", std::to_string(d.DifferentShare * 100));
        RecordProperty("reference_mean_difference", std::to_string(d.MeanDifference));
        EXPECT_TRUE(d.Matches()) << Name << ": differs from its reference in "
                                 << d.DifferentShare * 100 << "% of the pixels, mean "
                                 << d.MeanDifference;
    }

    std::unique_ptr<TForm> Form;
    TQor3DMap* View = nullptr;
};

TEST_F(MapRendering, FixedSphereColour) {
    View->SetSphereColorMode(scFixed);
    CheckPicture("ignition-fixed");
}

TEST_F(MapRendering, DynamicSphereColour) {
    View->SetSphereColorMode(scDynamic);
    CheckPicture("ignition-dynamic");
}

TEST_F(MapRendering, ReferenceAxes) {
    View->SetColRef(SpeedAxis());
    View->SetRowRef(LoadAxis());
    View->SetSphereColorMode(scDynamic);
    CheckPicture("ignition-axes");
}

TEST_F(MapRendering, SelectionOfSeveralCells) {
    View->SetSelection({3, 2, 6, 5}); // columns 3 ... 6, rows 2 ... 5
    View->SetSphereColor(clBlue);
    CheckPicture("ignition-selection");
}

// The live operating point: the marker between four cells, the cells lit by their
// weights and a trail of earlier points along a curve.
TEST_F(MapRendering, OperatingPointWithLitCellsAndTrail) {
    View->SetColRef(SpeedAxis());
    View->SetRowRef(LoadAxis());
    View->SetSphereColorMode(scDynamic);
    const auto packet = [&](int Length) {
        auto* p = new TQorPacketData(&Owner);
        p->SetDataLength(Length);
        p->SetDataMask(Length == 2 ? 0xFFFF : 0xFF);
        return p;
    };
    TQorPacketData* speed = packet(2);
    TQorPacketData* load = packet(1);
    View->SetHorizontalPosition(speed);
    View->SetVerticalPosition(load);
    View->SetShowOperatingPoint(true);
    const auto deliver = [](TQorPacketData* Packet, int Value) {
        std::uint8_t buffer[8] = {2,
                                  0,
                                  0,
                                  0,
                                  static_cast<std::uint8_t>(Value & 0xFF),
                                  static_cast<std::uint8_t>(Value >> 8)};
        Packet->DecodePacket(buffer);
    };
    for (int k = 0; k <= 10; ++k) {
        deliver(speed, 1600 + 250 * k);
        deliver(load, static_cast<int>(40 + 30 * std::sin(k * 0.4)));
        View->UpdateOperatingPoint();
    }
    ASSERT_EQ(View->OperatingPointWeights().size(), 4u);
    CheckPicture("ignition-live");
}

// A picture that differs from its reference fails: a changed cell is seen.
TEST_F(MapRendering, AChangedCellIsSeen) {
    const QImage before = Draw(TDrawMode::Batched);
    View->Data()->SetConnection(nullptr);
    for (int r = 4; r < 12; ++r)
        for (int c = 4; c < 12; ++c)
            View->Data()->SetCellValue(r, c, 45);
    const QImage after = ToImage(View->Picture());
    SavePicture(after, "ignition-raised");
    EXPECT_FALSE(Compare(before, after).Matches());
}

// With ShowChanges the balls of the cells changed since the history's reference take
// their own colour; without it the picture is the one the view draws without a history.
TEST_F(MapRendering, ChangedCellsInTheirOwnColour) {
    auto* history = new TQorEditHistory(Form.get());
    history->Watch(View->Data());
    View->SetHistory(history);
    View->SetSphereRadius(0.25f);
    for (int r = 3; r < 6; ++r)
        for (int c = 8; c < 11; ++c)
            View->Data()->SetCellValue(r, c, 60);
    const QImage hidden = Draw(TDrawMode::Batched);
    View->SetShowChanges(true);
    const auto changed = [&](int r, int c) { return View->Samples()[c * 16 + r].Changed; };
    EXPECT_TRUE(changed(3, 8));
    EXPECT_TRUE(changed(5, 10));
    EXPECT_FALSE(changed(2, 8));
    CheckPicture("ignition-changes");
    // Blue is the changed balls' colour alone in this scene.
    const auto blue = [](const QImage& Picture) {
        int n = 0;
        for (int y = 0; y < Picture.height(); ++y)
            for (int x = 0; x < Picture.width(); ++x) {
                const QColor p = Picture.pixelColor(x, y);
                n += p.blue() > 150 && p.red() < 100;
            }
        return n;
    };
    EXPECT_EQ(blue(hidden), 0);
    EXPECT_GT(blue(ToImage(View->Picture())), 20);
    // A new reference leaves nothing changed: the view is told and redraws.
    history->SetReference();
    EXPECT_EQ(blue(ToImage(View->Picture())), 0);
    EXPECT_FALSE(changed(3, 8));
}

// The batched drawing keeps its arrays while the scene stays; each change of what it
// shows must reach the picture as it reaches the literal drawing.
TEST_F(MapRendering, BatchedFrameFollowsEveryChange) {
    struct TCase {
        const char* Name;
        std::function<void()> Change;
    };
    const TCase cases[] = {
        {"selection",
         [&] {
             View->SetSelection({5, 5, 12, 12});
         }},
        {"sphere colour", [&] { View->SetSphereColor(clLime); }},
        {"sphere radius", [&] { View->SetSphereRadius(0.25f); }},
        {"colour mode", [&] { View->SetSphereColorMode(scDynamic); }},
        {"no balls", [&] { View->SetEnableDrawSphere(false); }},
        {"no lines", [&] { View->SetEnableDrawLine(false); }},
        {"axes", [&] { View->SetColRef(SpeedAxis()), View->SetRowRef(LoadAxis()); }},
    };
    QImage previous = Draw(TDrawMode::Batched);
    for (const TCase& c : cases) {
        c.Change();
        const QImage batched = Draw(TDrawMode::Batched);
        const QImage literal = Draw(TDrawMode::Literal);
        SavePicture(batched, std::string("change-") + c.Name);
        EXPECT_FALSE(Compare(previous, batched).Matches()) << c.Name << ": nothing changed";
        EXPECT_TRUE(Compare(batched, literal).Matches()) << c.Name;
        previous = batched;
    }
}

// The whole-window grab shows the map: the panel paints the presented picture.
TEST_F(MapRendering, WindowGrabShowsTheMap) {
    const QImage frame = Draw(TDrawMode::Batched);
    const QImage grab = Form->Widget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
    SavePicture(grab, "window-grab");
    ASSERT_GE(grab.width(), PictureWidth);
    const QImage area = grab.copy(0, 0, PictureWidth, PictureHeight);
    EXPECT_TRUE(Compare(area, frame).Matches());
}

// Two views on one thread: each frame goes into its own view's context.
TEST_F(MapRendering, TwoViewsDrawIntoTheirOwnContexts) {
    TForm second(nullptr);
    second.SetBounds(0, 0, PictureWidth, PictureHeight);
    TQor3DMap* other = NewView(second);
    second.Show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(second.Widget()));
    ASSERT_TRUE(other->ContextReady());

    const QImage first = Draw(TDrawMode::Batched);
    other->SetSphereColorMode(scDynamic);
    other->SetSelection({1, 1, 16, 16});
    other->RenderScene();
    const QImage otherPicture = ToImage(other->Picture());
    SavePicture(otherPicture, "second-view");
    View->RenderScene();
    const QImage again = ToImage(View->Picture());
    EXPECT_FALSE(Compare(first, otherPicture).Matches());
    EXPECT_TRUE(Compare(first, again).Matches());
    EXPECT_EQ(first, again);
}

TEST(EglOffscreenContext, DrawableHasColourAndDepth) {
    TEglOffscreenContext context;
    ASSERT_TRUE(context.Create(64, 32));
    EXPECT_GE(context.DepthBits(), 24);
    context.SwapBuffers();
    EXPECT_EQ(context.FrontBuffer().Width, 64);
    EXPECT_EQ(context.FrontBuffer().Height, 32);
    EXPECT_EQ(context.FrontBuffer().Pixels.size(), 64u * 32u);
    context.Resize(10, 20);
    context.SwapBuffers();
    EXPECT_EQ(context.FrontBuffer().Width, 10);
}

} // namespace
} // namespace qor::test
