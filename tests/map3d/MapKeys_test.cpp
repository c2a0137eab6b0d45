// Real key presses on a focused map view: selection moves and growth at the borders, the
// camera characters and their bounds, the remapping of the arrows on a rotated map, which
// keys redraw, and the delivery of the view's keys past the window's shortcuts.

#include "gui/Button.h"
#include "tests/map3d/MapKeyFixture.h"

#include <QShortcut>
#include <cmath>

namespace qor::test {
namespace {

using MapKeys = MapKeyFixture;

TEST_F(MapKeys, ArrowsMoveTheSelectionAndStopAtTheBorders) {
    struct TStep {
        Qt::Key Key;
        int Times;
        TRect After;
    };
    const TStep steps[] = {
        {Qt::Key_Up, 1, {1, 1, 1, 1}},       // row 1 is the first
        {Qt::Key_Left, 1, {1, 1, 1, 1}},     // so is column 1
        {Qt::Key_Down, 2, {1, 3, 1, 3}},     // rows grow toward the viewer
        {Qt::Key_Right, 20, {16, 3, 16, 3}}, // the last column keeps it
        {Qt::Key_Down, 20, {16, 16, 16, 16}}, {Qt::Key_Up, 1, {16, 15, 16, 15}},
        {Qt::Key_Left, 1, {15, 15, 15, 15}},
    };
    for (const TStep& s : steps) {
        Press(s.Key, Qt::NoModifier, s.Times);
        EXPECT_EQ(View->Selection(), s.After) << s.Key;
    }
    // The flags of the samples follow.
    EXPECT_TRUE(View->Samples()[14 * 16 + 14].Selected);
    EXPECT_EQ(std::count_if(View->Samples().begin(), View->Samples().end(),
                            [](const MAP_SAMPLE& s) { return s.Selected; }),
              1);
}

TEST_F(MapKeys, ShiftGrowsTheSelectionUpToTheBordersAndNeverShrinksIt) {
    View->SetSelection({3, 3, 3, 3});
    Press(Qt::Key_Left, Qt::ShiftModifier, 5);
    EXPECT_EQ(View->Selection(), (TRect{1, 3, 3, 3}));
    Press(Qt::Key_Up, Qt::ShiftModifier, 5);
    EXPECT_EQ(View->Selection(), (TRect{1, 1, 3, 3}));
    Press(Qt::Key_Down, Qt::ShiftModifier, 20);
    EXPECT_EQ(View->Selection(), (TRect{1, 1, 3, 16}));
    Press(Qt::Key_Right, Qt::ShiftModifier, 20);
    EXPECT_EQ(View->Selection(), (TRect{1, 1, 16, 16}));
    EXPECT_TRUE(std::all_of(View->Samples().begin(), View->Samples().end(),
                            [](const MAP_SAMPLE& s) { return s.Selected; }));
}

TEST_F(MapKeys, APlainArrowCollapsesABlockOntoItsFirstCellThenMoves) {
    struct TCase {
        Qt::Key Key;
        TRect After;
    };
    for (const TCase c : {TCase{Qt::Key_Right, {4, 3, 4, 3}}, TCase{Qt::Key_Down, {3, 4, 3, 4}},
                          TCase{Qt::Key_Left, {2, 3, 2, 3}}, TCase{Qt::Key_Up, {3, 2, 3, 2}}}) {
        View->SetSelection({3, 3, 6, 8});
        Press(c.Key);
        EXPECT_EQ(View->Selection(), c.After) << c.Key;
    }
}

// 14 presses of d turn the map to -42 degrees: screen and map directions swap.
TEST_F(MapKeys, OnARotatedMapTheArrowsAreRemapped) {
    Type(std::string(13, 'd'));
    EXPECT_DOUBLE_EQ(View->Camera().ViewAngle, -39);
    EXPECT_FALSE(View->Rotated());
    Type('d');
    EXPECT_DOUBLE_EQ(View->Camera().ViewAngle, -42);
    EXPECT_TRUE(View->Rotated());

    struct TCase {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        TRect After;
    };
    const TCase cases[] = {
        {Qt::Key_Up, Qt::NoModifier, {4, 5, 4, 5}},    // one column left
        {Qt::Key_Right, Qt::NoModifier, {5, 4, 5, 4}}, // one row up
        {Qt::Key_Down, Qt::NoModifier, {6, 5, 6, 5}},  // one column right
        {Qt::Key_Left, Qt::NoModifier, {5, 6, 5, 6}},  // one row down
        {Qt::Key_Up, Qt::ShiftModifier, {4, 5, 5, 5}}, // growth is remapped too
        {Qt::Key_Right, Qt::ShiftModifier, {5, 4, 5, 5}},
    };
    for (const TCase& c : cases) {
        View->SetSelection({5, 5, 5, 5});
        Press(c.Key, c.Modifiers);
        EXPECT_EQ(View->Selection(), c.After) << c.Key << " " << c.Modifiers;
    }
    // Turning back above -40 ends the remapping.
    Type('a');
    EXPECT_FALSE(View->Rotated());
    View->SetSelection({5, 5, 5, 5});
    Press(Qt::Key_Up);
    EXPECT_EQ(View->Selection(), (TRect{5, 4, 5, 4}));
}

TEST_F(MapKeys, CameraCharactersTheirBoundsAndTheReset) {
    const TCamera start = View->Camera();
    const float stepX = static_cast<float>(0.5 * std::sin(-0.35));
    const float stepZ = static_cast<float>(0.5 * std::cos(-0.35));
    struct TCase {
        char Key;
        TCamera After;
    };
    const TCase cases[] = {
        {'w', {0, start.EyeX + stepX, 2.0f, start.EyeZ - stepZ, 0.028f}},
        {'s', {0, start.EyeX - stepX, 2.0f, start.EyeZ + stepZ, 0.028f}},
        {'z', {0, 0.85f, 3.0f, -2.0f, 0.028f}},
        {'x', {0, 0.85f, 1.0f, -2.0f, 0.028f}},
        {'c', {0, 0.85f, 2.0f, -2.0f, 0.038f}},
        {'v', {0, 0.85f, 2.0f, -2.0f, 0.018f}},
        {'a', {3, 0.85f, 2.0f, -2.0f, 0.028f}},
        {'d', {-3, 0.85f, 2.0f, -2.0f, 0.028f}},
        // Upper case is no camera character.
        {'W', start},
        {'A', start},
    };
    for (const TCase& c : cases) {
        Type('r');
        ASSERT_EQ(View->Camera(), start);
        Type(c.Key);
        const TCamera& now = View->Camera();
        EXPECT_DOUBLE_EQ(now.ViewAngle, c.After.ViewAngle) << c.Key;
        EXPECT_FLOAT_EQ(now.EyeX, c.After.EyeX) << c.Key;
        EXPECT_FLOAT_EQ(now.EyeY, c.After.EyeY) << c.Key;
        EXPECT_FLOAT_EQ(now.EyeZ, c.After.EyeZ) << c.Key;
        EXPECT_FLOAT_EQ(now.Tilt, c.After.Tilt) << c.Key;
    }

    Type(std::string(20, 'a'));
    EXPECT_DOUBLE_EQ(View->Camera().ViewAngle, 30);
    Type(std::string(50, 'd'));
    EXPECT_DOUBLE_EQ(View->Camera().ViewAngle, -99);
    EXPECT_TRUE(View->Rotated());
    Type("wzc");
    Type('r');
    EXPECT_EQ(View->Camera(), View->DefaultCamera());
    EXPECT_FALSE(View->Rotated());
}

// KeyPress redraws after every character; KeyDown redraws for every key without Ctrl,
// but only while Data is set; neither raises the form's key events.
TEST_F(MapKeys, WhichKeysRedraw) {
    int formEvents = 0;
    View->SetOnKeyDown([&](TObject*, Word&, TShiftState) { ++formEvents; });
    View->SetOnKeyPress([&](TObject*, char&) { ++formEvents; });
    struct TCase {
        const char* Name;
        std::function<void()> Act;
        int Frames;
    };
    const TCase withData[] = {
        {"an arrow: key down", [&] { Press(Qt::Key_Right); }, 1},
        {"a camera letter: key down and key press", [&] { Type('w'); }, 2},
        {"upper case: Shift, the key, the character", [&] { Type('W'); }, 3},
        {"a key that types nothing and moves nothing", [&] { Press(Qt::Key_F5); }, 1},
        {"Ctrl+Left: no value change, no redraw", [&] { Press(Qt::Key_Left, Qt::ControlModifier); },
         0},
        {"Ctrl+Up: the map's notification draws the frame",
         [&] { Press(Qt::Key_Up, Qt::ControlModifier); }, 1},
    };
    for (const TCase& c : withData) {
        const int frames = View->RenderCount();
        c.Act();
        EXPECT_EQ(View->RenderCount() - frames, c.Frames) << c.Name;
    }
    const TCamera camera = View->Camera();
    Type('W');
    EXPECT_EQ(View->Camera(), camera);

    // Without Data the arrows do nothing; characters still act and redraw.
    View->SetData(nullptr);
    const TRect selection = View->Selection();
    int frames = View->RenderCount();
    Press(Qt::Key_Right);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(View->Selection(), selection);
    EXPECT_EQ(View->RenderCount(), frames);
    Type('W');
    EXPECT_EQ(View->RenderCount(), frames + 1);
    EXPECT_EQ(View->Camera(), camera);
    Type('z');
    EXPECT_EQ(View->RenderCount(), frames + 2);
    EXPECT_FLOAT_EQ(View->Camera().EyeY, camera.EyeY + 1);
    EXPECT_EQ(formEvents, 0);
}

// The view's keys reach it although the window has shortcuts for them; Tab still moves
// the focus on.
TEST_F(MapKeys, TheViewsKeysPassTheWindowsShortcuts) {
    auto* button = new TButton(Form.get());
    button->SetParent(Form.get());
    button->SetBounds(10, 250, 75, 25);
    int shortcuts = 0;
    std::vector<std::unique_ptr<QShortcut>> taken;
    for (const QKeySequence& k : {QKeySequence(Qt::Key_Up), QKeySequence(Qt::SHIFT | Qt::Key_Down),
                                  QKeySequence(Qt::CTRL | Qt::Key_Up), QKeySequence(Qt::Key_Return),
                                  QKeySequence("W"), QKeySequence(Qt::CTRL | Qt::Key_B)}) {
        taken.push_back(std::make_unique<QShortcut>(k, Form->Widget()));
        QObject::connect(taken.back().get(), &QShortcut::activated, [&] { ++shortcuts; });
    }
    View->SetEnableModPanel(false);
    int unrises = 0;
    View->SetOnCustumUnrise([&](TObject*, TQorMatrix*, TRect) { ++unrises; });

    View->SetSelection({3, 3, 3, 3});
    Press(Qt::Key_Up);
    Press(Qt::Key_Down, Qt::ShiftModifier);
    Press(Qt::Key_Return);
    Type('w');
    Press(Qt::Key_B, Qt::ControlModifier);
    const int before = SimCell(1, 2);
    Press(Qt::Key_Up, Qt::ControlModifier);
    EXPECT_EQ(shortcuts, 0);
    EXPECT_EQ(View->Selection(), (TRect{3, 2, 3, 3}));
    EXPECT_NE(View->Camera(), View->DefaultCamera());
    EXPECT_EQ(unrises, 1);
    EXPECT_EQ(SimCell(1, 2), before + 1);

    // Elsewhere the shortcuts work: the test can see them.
    button->SetFocus();
    Press(Qt::Key_Up);
    EXPECT_EQ(shortcuts, 1);

    // Tab leaves the view.
    View->SetFocus();
    Press(Qt::Key_Tab);
    EXPECT_TRUE(button->Focused());
}

} // namespace
} // namespace qor::test
