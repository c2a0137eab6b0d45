// The modification panel of the map view: its controls and their layout, Enter in the
// view to open it, and the three modes applied to the selected cells through Enter in its
// edit, "&Ok" and "&Annulla", with what the simulator's call log shows was written.

#include "gui/Button.h"
#include "tests/map3d/MapKeyFixture.h"

namespace qor::test {
namespace {

using MapModPanel = MapKeyFixture;

constexpr TRect Block{4, 2, 5, 3}; // columns 4 ... 5, rows 2 ... 3

TEST_F(MapModPanel, ControlsCaptionsAndLayout) {
    TMapModPanel* panel = View->ModPanel();
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Owner(), View);
    EXPECT_EQ(panel->Parent(), View);
    EXPECT_FALSE(panel->Visible());
    EXPECT_EQ(panel->Width(), 200);
    EXPECT_EQ(panel->Height(), 142);
    // In the view's bottom-right corner, also after a resize.
    EXPECT_EQ(panel->Left(), 200);
    EXPECT_EQ(panel->Top(), 158);
    View->SetBounds(0, 0, 380, 250);
    EXPECT_EQ(panel->Left(), 180);
    EXPECT_EQ(panel->Top(), 108);

    struct TPlace {
        TWinControl* Control;
        std::string Caption;
        int Left, Top, Width, Height;
    };
    const TPlace places[] = {
        {panel->AbsoluteButton(), panel->AbsoluteButton()->Caption(), 10, 10, 113, 17},
        {panel->RelativeButton(), panel->RelativeButton()->Caption(), 10, 30, 113, 17},
        {panel->PercentButton(), panel->PercentButton()->Caption(), 100, 10, 113, 17},
        {panel->ValueEdit(), "", 50, 60, 121, 21},
        {panel->OkButton(), panel->OkButton()->Caption(), 10, 100, 80, 40},
        {panel->CancelButton(), panel->CancelButton()->Caption(), 110, 100, 80, 40},
    };
    const char* captions[] = {"Assoluta", "Relativa", "Percentuale", "", "&Ok", "&Annulla"};
    ASSERT_EQ(panel->ControlCount(), 6);
    for (int i = 0; i < 6; ++i) {
        const TPlace& p = places[i];
        SCOPED_TRACE(captions[i]);
        EXPECT_EQ(p.Control->Parent(), panel);
        EXPECT_EQ(p.Control->Owner(), panel);
        EXPECT_EQ(p.Caption, captions[i]);
        EXPECT_EQ((std::vector{p.Control->Left(), p.Control->Top(), p.Control->Width(),
                               p.Control->Height()}),
                  (std::vector{p.Left, p.Top, p.Width, p.Height}));
    }
    EXPECT_TRUE(panel->AbsoluteButton()->Checked());
    EXPECT_FALSE(panel->RelativeButton()->Checked() || panel->PercentButton()->Checked());
    EXPECT_FALSE(panel->ValueEdit()->Validation());
}

TEST_F(MapModPanel, EnterInTheViewTogglesThePanel) {
    TMapModPanel* panel = View->ModPanel();
    const int frames = View->RenderCount();
    Press(Qt::Key_Return);
    EXPECT_TRUE(panel->Visible());
    EXPECT_TRUE(panel->ValueEdit()->Focused());
    EXPECT_EQ(panel->ValueEdit()->SelText(), "0"); // typing replaces it
    EXPECT_EQ(View->RenderCount(), frames + 2);    // key down and key press each redraw

    panel->CancelButton()->ClickButton();
    EXPECT_FALSE(panel->Visible());
    EXPECT_TRUE(View->Focused());

    // Not while it is switched off; the key still redraws.
    View->SetEnableModPanel(false);
    Press(Qt::Key_Return);
    EXPECT_FALSE(panel->Visible());
    EXPECT_TRUE(View->Focused());
    EXPECT_TRUE(Writes().empty());
}

// Each case types its amount into the edit of a panel opened with Enter on the block,
// picks its mode and applies it with Enter in the edit or with "&Ok".
TEST_F(MapModPanel, TheThreeModesOnTheSelectedCells) {
    struct TCase {
        const char* Name;
        TRadioButton* (TMapModPanel::*Mode)() const;
        int Start;
        std::string Typed;
        bool WithOk;
        int Written;
    };
    const TCase cases[] = {
        {"Percentuale 10 on 50", &TMapModPanel::PercentButton, 50, "10", false, 55},
        {"Percentuale -100 on 50", &TMapModPanel::PercentButton, 50, "-100", true, 0},
        {"Relativa -3 on 20", &TMapModPanel::RelativeButton, 20, "-3", false, 17},
        {"Assoluta 7", &TMapModPanel::AbsoluteButton, 20, "7", true, 7},
    };
    TMapModPanel* panel = View->ModPanel();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        FillMap(c.Start);
        View->SetSelection(Block);
        Press(Qt::Key_Return);
        ASSERT_TRUE(panel->ValueEdit()->Focused());
        (panel->*c.Mode)()->SetChecked(true);
        Type(c.Typed);
        if (c.WithOk)
            panel->OkButton()->ClickButton();
        else
            Press(Qt::Key_Return);
        EXPECT_EQ(Writes(),
                  (std::vector<TCellWrite>{
                      {1, 3, c.Written}, {1, 4, c.Written}, {2, 3, c.Written}, {2, 4, c.Written}}));
        EXPECT_DOUBLE_EQ(SampleHeight(2, 4), c.Written * 0.1);
        EXPECT_FALSE(panel->Visible());
        EXPECT_TRUE(View->Focused());
    }
}

// Keyboard only: Tab from the edit reaches "&Ok" and then "&Annulla", Space presses them.
TEST_F(MapModPanel, TabAndSpaceReachTheButtons) {
    TMapModPanel* panel = View->ModPanel();
    FillMap(20);
    View->SetSelection({2, 2, 2, 2});
    Press(Qt::Key_Return);
    Type("3");
    Press(Qt::Key_Tab);
    ASSERT_TRUE(panel->OkButton()->Focused());
    Press(Qt::Key_Space);
    EXPECT_EQ(Writes(), (std::vector<TCellWrite>{{1, 1, 3}}));
    EXPECT_FALSE(panel->Visible());
    EXPECT_TRUE(View->Focused());

    Press(Qt::Key_Return);
    Press(Qt::Key_Tab, Qt::NoModifier, 2);
    ASSERT_TRUE(panel->CancelButton()->Focused());
    Press(Qt::Key_Space);
    EXPECT_FALSE(panel->Visible());
    EXPECT_TRUE(View->Focused());
    EXPECT_EQ(Writes().size(), 1u);
}

// The edit's value is its IntValue: a text that is no integer gives the last accepted
// value, truncated.
TEST_F(MapModPanel, AssolutaWithATextThatIsNoNumberTakesTheLastAcceptedValue) {
    TMapModPanel* panel = View->ModPanel();
    View->SetSelection({2, 2, 2, 2});
    Press(Qt::Key_Return);
    panel->ValueEdit()->ShowValue(12.7);
    panel->ValueEdit()->SetText("abc");
    panel->OkButton()->ClickButton();
    EXPECT_EQ(Writes(), (std::vector<TCellWrite>{{1, 1, 12}}));
    EXPECT_EQ(View->CellMax(), 38);
}

TEST_F(MapModPanel, AnnullaWritesNothingAndWithoutDataApplyingDoesNothing) {
    // The focus goes straight back to the view, through no other control of the form.
    auto* other = new TButton(Form.get());
    other->SetParent(Form.get());
    other->SetBounds(10, 250, 75, 25);
    int entered = 0;
    other->SetOnEnter([&](TObject*) { ++entered; });

    TMapModPanel* panel = View->ModPanel();
    View->SetSelection(Block);
    Press(Qt::Key_Return);
    Type("5");
    panel->CancelButton()->ClickButton();
    EXPECT_FALSE(panel->Visible());
    EXPECT_TRUE(View->Focused());
    Press(Qt::Key_Return); // open, then apply with Enter in the edit
    Press(Qt::Key_Return);
    EXPECT_FALSE(panel->Visible());
    EXPECT_TRUE(View->Focused());
    EXPECT_EQ(entered, 0);
    Sim.ClearLog();

    View->SetData(nullptr);
    Press(Qt::Key_Return); // characters still act without Data
    ASSERT_TRUE(panel->Visible());
    Type("5");
    Press(Qt::Key_Return);
    EXPECT_TRUE(panel->Visible());
    EXPECT_TRUE(panel->ValueEdit()->Focused());
    panel->OkButton()->ClickButton();
    EXPECT_TRUE(panel->Visible());
    panel->CancelButton()->ClickButton();
    EXPECT_FALSE(panel->Visible());
    EXPECT_TRUE(View->Focused());
    EXPECT_TRUE(Writes().empty());
}

// "Percentuale" and "Relativa" need a cell's value: where its read fails (the ECU holds
// 50, the map's stale cache 20) nothing is written. "Assoluta" needs none.
TEST_F(MapModPanel, ARelativeModeWritesNothingWhereTheReadFails) {
    FillMap(20);
    for (int i = 0; i < 256; ++i)
        Sim.SetValue(IgnitionMapCode, i, 50);
    Sim.FailNext(qsoReadIndexed, 1000);
    EXPECT_FALSE(Map->ReloadFromEcu());
    View->SetSelection(Block);
    TMapModPanel* panel = View->ModPanel();
    for (TRadioButton* mode : {panel->PercentButton(), panel->RelativeButton()}) {
        Sim.ClearLog();
        Press(Qt::Key_Return);
        mode->SetChecked(true);
        Type("10");
        Press(Qt::Key_Return);
        EXPECT_TRUE(Writes().empty()) << mode->Caption();
        EXPECT_FALSE(panel->Visible());
    }
    EXPECT_EQ(SimCell(1, 3), 50);
    Press(Qt::Key_Return);
    panel->AbsoluteButton()->SetChecked(true);
    Type("10");
    Press(Qt::Key_Return);
    EXPECT_EQ(Writes().size(), 4u);
    EXPECT_EQ(SimCell(1, 3), 10);
}

// A map without a connection: the panel's modes read the values the map holds.
TEST_F(MapModPanel, AMapWithoutAConnectionIsModifiedInPlace) {
    Map->SetConnection(nullptr);
    View->SetSelection(Block);
    Press(Qt::Key_Return);
    View->ModPanel()->PercentButton()->SetChecked(true);
    Type("50");
    Press(Qt::Key_Return);
    // 12 * 1.5 at row 2, column 4 (1-based); the view shows it at once.
    EXPECT_DOUBLE_EQ(SampleHeight(1, 3), 1.8);
    EXPECT_TRUE(Writes().empty());
}

} // namespace
} // namespace qor::test
