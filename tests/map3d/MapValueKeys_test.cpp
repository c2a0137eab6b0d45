// Ctrl with Up, Down and B on a focused map view bound to the simulator's ignition map:
// what reaches the ECU (the simulator's call log) in every EditMode and for a block, the
// raise and lower rules on a small fixture, the custom-edit events, a map without a
// connection and cells whose reads fail.

#include "tests/map3d/MapKeyFixture.h"

namespace qor::test {
namespace {

using MapValueKeys = MapKeyFixture;

// Row 3, column 4 (1-based) holds 8 + 3 * 2 - 2 * 2 = 10.
constexpr TRect OneCell{4, 3, 4, 3};
constexpr TRect Block{4, 2, 5, 3}; // columns 4 ... 5, rows 2 ... 3

TEST_F(MapValueKeys, CtrlUpAndDownInEveryEditModeAndForABlock) {
    struct TCase {
        const char* Name;
        TEditMode Mode;
        TRect Selection;
        Qt::Key Key;
        std::vector<TCellWrite> Written;
    };
    const TCase cases[] = {
        {"single Up", emSingle, OneCell, Qt::Key_Up, {{2, 3, 11}}},
        {"single Down", emSingle, OneCell, Qt::Key_Down, {{2, 3, 9}}},
        {"custom Up, no handler", emCustom, OneCell, Qt::Key_Up, {}},
        {"custom Down", emCustom, OneCell, Qt::Key_Down, {}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        Sim.ResetDefault();
        Reload();
        View->SetEditMode(c.Mode);
        View->SetSelection(c.Selection);
        const int frames = View->RenderCount();
        Press(c.Key, Qt::ControlModifier);
        EXPECT_EQ(Writes(), c.Written);
        // Only the map's notification of a written cell draws a frame.
        EXPECT_EQ(View->RenderCount() - frames, static_cast<int>(c.Written.size()));
    }
    // A block steps every cell, rows outer and columns inner, in every mode.
    for (TEditMode mode : {emSingle, emMultiple, emCustom}) {
        SCOPED_TRACE(mode);
        Sim.ResetDefault();
        Reload();
        View->SetEditMode(mode);
        View->SetSelection(Block);
        Press(Qt::Key_Up, Qt::ControlModifier | Qt::ShiftModifier); // Shift changes nothing
        EXPECT_EQ(Writes(),
                  (std::vector<TCellWrite>{{1, 3, 13}, {1, 4, 15}, {2, 3, 11}, {2, 4, 13}}));
        Sim.ClearLog();
        Press(Qt::Key_Down, Qt::ControlModifier);
        Press(Qt::Key_Down, Qt::ControlModifier);
        EXPECT_EQ(Writes(), (std::vector<TCellWrite>{{1, 3, 12},
                                                     {1, 4, 14},
                                                     {2, 3, 10},
                                                     {2, 4, 12},
                                                     {1, 3, 11},
                                                     {1, 4, 13},
                                                     {2, 3, 9},
                                                     {2, 4, 11}}));
        EXPECT_DOUBLE_EQ(SampleHeight(2, 4), 1.1); // the view shows what the ECU holds
        EXPECT_EQ(View->Selection(), Block);
    }
}

// Fixture cells around a centre, zero-based (row, column, value), on a map of zeros.
struct TFixtureCell {
    int Row, Col, Value;
};

class MapEditRules : public MapKeyFixture {
protected:
    void Prepare(const std::vector<TFixtureCell>& Cells, int Row, int Col) {
        for (int i = 0; i < 256; ++i)
            Sim.SetValue(IgnitionMapCode, i, 0);
        for (const TFixtureCell& c : Cells)
            SetSimCell(c.Row, c.Col, c.Value);
        Reload();
        View->SetEditMode(emMultiple);
        View->SetSelection({Col + 1, Row + 1, Col + 1, Row + 1});
    }
};

// The centre (5, 5) goes from 9 to v = 10. A cell of the 3 x 3 block rises while
// (w + 1)^2 <= 200 / 3 (w + 1 up to 8; for a negative w + 1, from -9 down); a
// cell two away along the column or the row while (w + 1)^2 <= 100 / 3 (up to 5).
TEST_F(MapEditRules, RaiseRuleOnAFixture) {
    Prepare({{3, 5, 2},
             {4, 4, 7},
             {4, 5, 3},
             {4, 6, -1}, // no divisor: left alone
             {5, 3, 5},
             {5, 4, 4},
             {5, 5, 9},
             {5, 6, 8},
             {5, 7, 4},
             {6, 4, -12},
             {6, 5, -5},
             {6, 6, 0}},
            5, 5);
    Press(Qt::Key_Up, Qt::ControlModifier);
    const std::vector<TCellWrite> expected{
        {5, 5, 10},                                               // the centre first
        {4, 4, 8},  {4, 5, 4}, {5, 4, 5}, {6, 4, -11}, {6, 6, 1}, // the 3 x 3 block
        {3, 5, 3},  {4, 5, 5}, {7, 5, 1},                         // along the column
        {5, 7, 5},                                                // along the row
    };
    EXPECT_EQ(Writes(), expected);
    EXPECT_EQ(SimCell(4, 6), -1);
    EXPECT_EQ(SimCell(6, 5), -5);
    EXPECT_EQ(SimCell(5, 3), 5);
    EXPECT_EQ(SimCell(5, 6), 8);
    EXPECT_DOUBLE_EQ(SampleHeight(4, 5), 0.5);
}

// At a corner the cells outside the map are skipped.
TEST_F(MapEditRules, RaiseRuleAtACorner) {
    Prepare({{0, 0, 9}, {0, 1, 3}, {1, 0, 7}, {1, 1, 8}, {2, 0, 4}, {0, 2, 6}}, 0, 0);
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Writes(),
              (std::vector<TCellWrite>{{0, 0, 10}, {0, 1, 4}, {1, 0, 8}, {2, 0, 5}, {0, 1, 5}}));
}

// The centre (5, 5) stays v = 10 at first. A cell of the 3 x 3 block falls while
// (w - 1)^2 >= 200 / 3 (w - 1 from 9 up, or from -8 to -1); a cell two away along the
// column or the row while (w - 1)^2 >= 100 / 3 (from 6 up). The centre takes all three
// passes.
TEST_F(MapEditRules, LowerRuleOnAFixture) {
    const std::vector<TFixtureCell> cells{{3, 5, 20}, {4, 4, 12}, {4, 5, 9},  {4, 6, 0}, {5, 4, 10},
                                          {5, 5, 10}, {5, 6, 5},  {6, 4, 20}, {6, 5, 2}};
    Prepare(cells, 5, 5);
    Press(Qt::Key_Down, Qt::ControlModifier);
    const std::vector<TCellWrite> expected{
        {4, 4, 11}, {4, 6, -1}, {5, 4, 9}, {5, 5, 9},  {6, 4, 19}, {6, 6, -1}, // 3 x 3
        {3, 5, 19}, {4, 5, 8},  {5, 5, 8}, {7, 5, -1},                         // column
        {5, 3, -1}, {5, 4, 8},  {5, 5, 7}, {5, 7, -1},                         // row
    };
    EXPECT_EQ(Writes(), expected);
    EXPECT_EQ(SimCell(6, 5), 2);
    EXPECT_EQ(SimCell(5, 6), 5);
}

// A cell of 1 stops the whole rule when it is reached; what was written before stays.
TEST_F(MapEditRules, LowerRuleStopsAtACellOfOne) {
    Prepare({{3, 5, 20},
             {4, 4, 12},
             {4, 5, 9},
             {4, 6, 0},
             {5, 4, 10},
             {5, 5, 10},
             {5, 6, 1},
             {6, 4, 20}},
            5, 5);
    Press(Qt::Key_Down, Qt::ControlModifier);
    EXPECT_EQ(Writes(), (std::vector<TCellWrite>{{4, 4, 11}, {4, 6, -1}, {5, 4, 9}, {5, 5, 9}}));
    EXPECT_EQ(SimCell(4, 4), 11);
    EXPECT_EQ(SimCell(6, 4), 20);
    EXPECT_EQ(SimCell(3, 5), 20);
}

TEST_F(MapValueKeys, CustomEventsGetTheViewItsMapAndTheSelection) {
    struct TCall {
        TObject* Sender;
        TQorMatrix* Matrix;
        TRect Selection;
    };
    std::vector<TCall> rises, unrises;
    View->SetOnCustumRise([&](TObject* s, TQorMatrix* m, TRect r) { rises.push_back({s, m, r}); });
    View->SetOnCustumUnrise([&](TObject* s, TQorMatrix* m, TRect r) {
        unrises.push_back({s, m, r});
    });

    View->SetEditMode(emCustom);
    View->SetSelection(OneCell);
    Press(Qt::Key_Up, Qt::ControlModifier);
    ASSERT_EQ(rises.size(), 1u);
    EXPECT_EQ(rises[0].Sender, View);
    EXPECT_EQ(rises[0].Matrix, Map);
    EXPECT_EQ(rises[0].Selection, OneCell);
    Press(Qt::Key_Down, Qt::ControlModifier);

    // Ctrl+B is the key code 2: in every mode and for any selection, with or without Shift.
    View->SetEditMode(emSingle);
    View->SetSelection(Block);
    Press(Qt::Key_B, Qt::ControlModifier);
    View->SetEditMode(emMultiple);
    Press(Qt::Key_B, Qt::ControlModifier | Qt::ShiftModifier);
    Press(Qt::Key_B); // without Ctrl it is a plain key
    ASSERT_EQ(unrises.size(), 2u);
    EXPECT_EQ(unrises[1].Selection, Block);
    EXPECT_EQ(unrises[1].Matrix, Map);
    EXPECT_EQ(rises.size(), 1u);
    EXPECT_TRUE(Writes().empty());

    // A handler that takes itself away finishes its call.
    View->SetOnCustumUnrise([&](TObject*, TQorMatrix*, TRect) {
        View->SetOnCustumUnrise(nullptr);
        unrises.push_back({nullptr, nullptr, {}});
    });
    Press(Qt::Key_B, Qt::ControlModifier);
    Press(Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(unrises.size(), 3u);
}

// A map without a connection keeps the new values and tells the view at once.
TEST_F(MapValueKeys, AMapWithoutAConnectionShowsTheNewHeightsAtOnce) {
    Map->SetConnection(nullptr);
    View->SetSelection(OneCell);
    const int frames = View->RenderCount();
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(SampleHeight(2, 3), 1.1);
    EXPECT_EQ(View->RenderCount(), frames + 1);
    View->SetEditMode(emMultiple);
    Press(Qt::Key_Up, Qt::ControlModifier); // the raise rule reads the held values too
    EXPECT_DOUBLE_EQ(SampleHeight(2, 3), 1.2);
    EXPECT_TRUE(Writes().empty());
}

// A cell whose read fails has no value to step from: nothing is written to it (the ECU
// holds 50 while the map's stale cache says 10).
TEST_F(MapValueKeys, ACellWhoseReadFailsIsNotStepped) {
    View->SetSelection(OneCell);
    SetSimCell(2, 3, 50);
    Sim.FailNext(qsoReadIndexed, 1000);
    EXPECT_FALSE(Map->ReloadFromEcu());
    Sim.ClearLog();
    for (TEditMode mode : {emSingle, emMultiple}) {
        View->SetEditMode(mode);
        Press(Qt::Key_Up, Qt::ControlModifier);
        Press(Qt::Key_Down, Qt::ControlModifier);
    }
    View->SetSelection(Block);
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_TRUE(Writes().empty());
    EXPECT_EQ(SimCell(2, 3), 50);
    Sim.ClearFaults();
    View->SetSelection(OneCell);
    View->SetEditMode(emSingle);
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(Writes(), (std::vector<TCellWrite>{{2, 3, 51}}));
}

} // namespace
} // namespace qor::test

namespace qor::test {
namespace {

using MapKeyFrames = MapFixture;

// With a real context: the frame drawn for a key edit shows the new heights.
TEST_F(MapKeyFrames, AKeyEditIsSeenInTheFrameItDraws) {
    TForm form(nullptr);
    form.SetBounds(50, 50, 400, 300);
    auto* view = new TQor3DMap(&form);
    view->SetParent(&form);
    view->SetBounds(0, 0, 400, 300);
    TQorMatrix* map = IgnitionMap();
    ASSERT_TRUE(map->ReadFromEcu());
    view->SetData(map);
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.Widget()));
    ASSERT_TRUE(view->ContextReady()) << "no EGL context on this machine";
    view->SetFocus();
    // Each written cell redraws the whole map: a small block keeps the frames few.
    view->SetSelection({5, 5, 7, 7});
    view->RenderScene();
    const TFrameImage before = view->Picture();
    for (int i = 0; i < 5; ++i)
        QTest::keyClick(form.Widget()->windowHandle(), Qt::Key_Up, Qt::ControlModifier);
    EXPECT_NE(view->Picture().Pixels, before.Pixels);
    // Drawing the same scene again gives the same picture: the edit's frame was complete.
    const TFrameImage edited = view->Picture();
    view->RenderScene();
    EXPECT_EQ(view->Picture().Pixels, edited.Pixels);
    EXPECT_DOUBLE_EQ(view->Samples()[4 * 16 + 4].Height, (IgnitionValue(4, 4) + 5) * 0.1);
}

} // namespace
} // namespace qor::test
