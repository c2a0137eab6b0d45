// The control frame: where the skin and the unit label go, how they follow the control,
// and the focus chain through NextControl and PrevControl.

#include "ControlTestSupport.h"
#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "gui/Edit.h"
#include "gui/Panel.h"

#include <QRect>

namespace qor::test {
namespace {

QRect Bounds(const TWinControl& C) {
    return {C.Left(), C.Top(), C.Width(), C.Height()};
}

// The unit label with a fixed size, so that the layout can be checked in numbers.
void SizeLabel(TLabel& Label, int Width, int Height) {
    Label.SetAutoSize(false);
    Label.SetBounds(Label.Left(), Label.Top(), Width, Height);
}

class ControlFrameTest : public EditFormTest {
protected:
    void SetUp() override {
        EditFormTest::SetUp();
        Edit = Add<TNumericEdit>("Edit");
        Edit->SetBounds(100, 50, 120, 24);
    }
    // Adds the unit label at 40 x 15 and lays the frame out again.
    void AddLabel() {
        Edit->SetUseUnitLabel(true);
        SizeLabel(*Edit->UnitLabel(), 40, 15);
        Edit->SetBounds(100, 50, 120, 24);
    }

    TNumericEdit* Edit = nullptr;
};

TEST_F(ControlFrameTest, ConstructorDefaults) {
    EXPECT_EQ(Edit->DataCode(), -1);
    EXPECT_EQ(Edit->DataIndex(), -1);
    EXPECT_EQ(Edit->NextControl(), nullptr);
    EXPECT_EQ(Edit->PrevControl(), nullptr);
    EXPECT_EQ(Edit->SkinStyle(), asNone);
    EXPECT_EQ(Edit->BackShape(), nullptr);
    EXPECT_EQ(Edit->BackImage(), nullptr);
    EXPECT_EQ(Edit->UnitLabel(), nullptr);
    EXPECT_FALSE(Edit->UseUnitLabel());
    EXPECT_FALSE(Edit->FixedShape());
    EXPECT_EQ(Edit->ShapeLeftSpacing(), 0);
    EXPECT_EQ(Edit->ShapePenWidth(), 2);
    EXPECT_EQ(Form->ControlCount(), 1) << "no skin and no label until asked for";
}

TEST_F(ControlFrameTest, ShapeBoundsFollowSpacingPenWidthAndLabel) {
    struct Case {
        int Spacing, PenWidth;
        bool Label;
        QRect Shape;
    };
    // Control at 100, 50, 120 x 24; label 40 wide: with it the shape is s + W + 64 wide.
    const Case cases[] = {
        {0, 2, false, {98, 48, 124, 28}}, {0, 2, true, {98, 48, 186, 28}},
        {5, 3, false, {95, 47, 128, 30}}, {5, 3, true, {95, 47, 189, 30}},
        {0, 4, true, {96, 46, 188, 32}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "spacing " << c.Spacing << ", pen " << c.PenWidth
                                        << (c.Label ? ", label" : ""));
        Edit->SetUseUnitLabel(false);
        Edit->SetSkinStyle(asShape);
        if (c.Label)
            AddLabel();
        Edit->SetShapePenWidth(c.PenWidth);
        Edit->SetShapeLeftSpacing(c.Spacing);
        EXPECT_EQ(Bounds(*Edit->BackShape()), c.Shape);
        EXPECT_EQ(Edit->BackShape()->Pen()->Width(), c.PenWidth);
    }
}

TEST_F(ControlFrameTest, LabelSitsRightOfTheControlCentredByTruncatingDivision) {
    AddLabel();
    EXPECT_EQ(Bounds(*Edit->UnitLabel()), QRect(230, 54, 40, 15)) << "50 + (24 - 15) / 2";
    SizeLabel(*Edit->UnitLabel(), 40, 31);
    Edit->SetLeft(10);
    EXPECT_EQ(Bounds(*Edit->UnitLabel()), QRect(140, 47, 40, 31))
        << "50 + (24 - 31) / 2 truncates toward zero to -3";
}

TEST_F(ControlFrameTest, ImageBoundsWithAndWithoutLabel) {
    Edit->SetSkinStyle(asImage);
    EXPECT_EQ(Bounds(*Edit->BackImage()), QRect(98, 48, 124, 28));
    Edit->SetSkinStyle(asNone);
    AddLabel();
    Edit->SetSkinStyle(asImage);
    EXPECT_EQ(Bounds(*Edit->BackImage()), QRect(98, 48, 184, 28)) << "W + lw + 24";
}

TEST_F(ControlFrameTest, WideningStretchesTheSkinUnlessTheShapeIsFixed) {
    AddLabel();
    Edit->SetSkinStyle(asShape);
    Edit->SetShapeLeftSpacing(6); // the shape reaches 6 left, the image 2
    const QRect shape = Bounds(*Edit->BackShape());
    Edit->SetWidth(140);
    EXPECT_EQ(Bounds(*Edit->BackShape()), shape.adjusted(0, 0, 20, 0));
    EXPECT_EQ(Edit->UnitLabel()->Left(), 250);

    // A part of the shape reaching past the label stays as it was: the width grows by the
    // same 20, not by a fresh layout.
    Edit->BackShape()->SetWidth(shape.width() + 30);
    Edit->SetBounds(90, 60, 160, 24);
    EXPECT_EQ(Bounds(*Edit->BackShape()), QRect(84, 58, shape.width() + 50, 28));

    Edit->SetFixedShape(true);
    const QRect fixed = Bounds(*Edit->BackShape());
    Edit->SetBounds(100, 50, 180, 30);
    Edit->SetShapeLeftSpacing(1);
    Edit->SetShapePenWidth(5);
    EXPECT_EQ(Bounds(*Edit->BackShape()), fixed) << "FixedShape keeps the shape";
    EXPECT_EQ(Edit->BackShape()->Pen()->Width(), 2) << "and its pen";

    Edit->SetSkinStyle(asImage); // the image follows whatever FixedShape says
    const QRect image = Bounds(*Edit->BackImage());
    Edit->SetWidth(200);
    EXPECT_EQ(Bounds(*Edit->BackImage()), image.adjusted(0, 0, 20, 0));
}

TEST_F(ControlFrameTest, RemovingTheLabelShrinksEvenAFixedShape) {
    AddLabel();
    Edit->SetSkinStyle(asShape);
    EXPECT_EQ(Edit->BackShape()->Width(), 186);
    Edit->SetFixedShape(true);
    Edit->SetUseUnitLabel(false);
    EXPECT_EQ(Edit->UnitLabel(), nullptr);
    EXPECT_EQ(Bounds(*Edit->BackShape()), QRect(98, 48, 124, 28));
    // Adding it again leaves a fixed shape alone.
    Edit->SetUseUnitLabel(true);
    EXPECT_EQ(Edit->BackShape()->Width(), 124);
    Edit->SetFixedShape(false);
    Edit->SetUseUnitLabel(true);
    EXPECT_EQ(Edit->BackShape()->Width(), 2 + 120 + Edit->UnitLabel()->Width() + 24);
}

TEST_F(ControlFrameTest, ScalingScalesTheControlAndThePictureButNotThePicturesPlace) {
    AddLabel();
    Edit->SetSkinStyle(asImage);
    const QRect image = Bounds(*Edit->BackImage()); // 98, 48, 184, 28
    Edit->ScaleBy(3, 2);
    EXPECT_EQ(Bounds(*Edit), QRect(150, 75, 180, 36));
    EXPECT_EQ(Bounds(*Edit->BackImage()),
              QRect(image.left(), image.top(), 184 * 3 / 2, 28 * 3 / 2));
    EXPECT_EQ(Bounds(*Edit->UnitLabel()), QRect(340, 85, 40, 15)) << "by the label rule";

    Edit->ScaleBy(2, 3); // truncating: 276 * 2 / 3 = 184, 42 * 2 / 3 = 28
    EXPECT_EQ(Bounds(*Edit->BackImage()), image);

    Edit->SetSkinStyle(asShape);
    Edit->ScaleBy(2, 1);
    EXPECT_EQ(Bounds(*Edit->BackShape()), QRect(198, 98, 2 + 240 + 64, 52))
        << "laid out afresh around the scaled control";
    Edit->SetFixedShape(true);
    const QRect fixed = Bounds(*Edit->BackShape());
    Edit->ScaleBy(1, 2);
    EXPECT_EQ(Bounds(*Edit->BackShape()), fixed);
}

TEST_F(ControlFrameTest, SkinAndLabelAreNamedSubControlsBehindAndBesideTheControl) {
    Edit->SetSkinStyle(asShape);
    AddLabel();
    TShape* shape = Edit->BackShape();
    TLabel* label = Edit->UnitLabel();
    EXPECT_EQ(shape->Name(), "BackShape");
    EXPECT_EQ(label->Name(), "UnitLabel");
    EXPECT_EQ(shape->Owner(), Edit);
    EXPECT_EQ(label->Owner(), Edit);
    EXPECT_EQ(shape->Parent(), Form.get());
    EXPECT_EQ(shape->Shape(), stRoundRect);
    EXPECT_EQ(shape->Brush()->Color(), 2498529);
    EXPECT_EQ(shape->Pen()->Color(), 2498529);
    EXPECT_EQ(label->Caption(), "UnitLabel");
    EXPECT_EQ(label->Font()->Color(), 16777215);
    EXPECT_EQ(label->Layout(), tlCenter);

    // Stacked: the shape directly behind the control, the label in front of both.
    ASSERT_EQ(Form->ControlCount(), 3);
    EXPECT_EQ(Form->Controls(0), shape);
    EXPECT_EQ(Form->Controls(1), Edit);
    EXPECT_EQ(Form->Controls(2), label);
    QWidget* window = Form->Widget();
    EXPECT_EQ(window->childAt(101, 51), Edit->Widget()) << "the skin never covers the control";
    EXPECT_EQ(window->childAt(99, 49), shape->Widget());
    EXPECT_EQ(window->childAt(label->Left() + 1, label->Top() + 1), label->Widget());

    // Switching the style frees the other skin; one created again starts from defaults.
    shape->Brush()->SetColor(clNavy);
    Edit->SetSkinStyle(asImage);
    EXPECT_EQ(Edit->BackShape(), nullptr);
    EXPECT_EQ(Edit->BackImage()->Name(), "BackImage");
    EXPECT_EQ(Form->Controls(0), Edit->BackImage());
    Edit->SetSkinStyle(asShape);
    EXPECT_EQ(Edit->BackImage(), nullptr);
    EXPECT_EQ(Edit->BackShape()->Brush()->Color(), clSkinShape);
    Edit->SetSkinStyle(asNone);
    EXPECT_EQ(Edit->BackShape(), nullptr);
    EXPECT_EQ(Form->ControlCount(), 2);
}

TEST_F(ControlFrameTest, InDesignModeTheSkinGoesToTheBack) {
    auto owner = std::make_unique<TForm>(nullptr);
    owner->SetDesigning(true);
    auto* other = new TPanel(owner.get());
    other->SetParent(owner.get());
    auto* edit = new TNumericEdit(owner.get());
    edit->SetParent(owner.get());
    edit->SetSkinStyle(asShape);
    EXPECT_EQ(owner->Controls(0), edit->BackShape());
    EXPECT_EQ(owner->Controls(1), other);
}

TEST_F(ControlFrameTest, SkinAndLabelFollowVisibilityAndParent) {
    Edit->SetSkinStyle(asShape);
    AddLabel();
    Edit->Hide();
    EXPECT_FALSE(Edit->BackShape()->Visible());
    EXPECT_FALSE(Edit->UnitLabel()->Visible());
    EXPECT_FALSE(Edit->UnitLabel()->Showing());
    Edit->Show();
    EXPECT_TRUE(Edit->BackShape()->Showing());
    EXPECT_TRUE(Edit->UnitLabel()->Showing());

    auto* panel = Add<TPanel>("Panel");
    panel->SetBounds(0, 0, 400, 200);
    auto* blocker = Add<TPanel>("Blocker", panel); // a sibling the skin must stay in front of
    blocker->SetBounds(0, 0, 400, 200);
    Edit->SetParent(panel);
    EXPECT_EQ(Edit->BackShape()->Parent(), panel);
    EXPECT_EQ(Edit->UnitLabel()->Parent(), panel);
    EXPECT_EQ(Form->ControlCount(), 1);
    ASSERT_EQ(panel->ControlCount(), 4);
    EXPECT_EQ(panel->Controls(0), blocker);
    EXPECT_EQ(panel->Controls(1), Edit->BackShape());
    EXPECT_EQ(panel->Controls(2), Edit);

    // A skin created while hidden starts hidden.
    Edit->Hide();
    Edit->SetSkinStyle(asImage);
    EXPECT_FALSE(Edit->BackImage()->Visible());

    // Out of any parent: the sub-controls go along and nothing shows.
    Edit->SetParent(nullptr);
    EXPECT_EQ(Edit->BackImage()->Parent(), nullptr);
    EXPECT_EQ(Edit->UnitLabel()->Parent(), nullptr);
    EXPECT_EQ(panel->ControlCount(), 1);
}

TEST_F(ControlFrameTest, DestroyingTheControlOrItsParentFirstLeavesNothingBehind) {
    auto* panel = Add<TPanel>("Panel");
    Edit->SetParent(panel);
    Edit->SetSkinStyle(asShape);
    Edit->SetUseUnitLabel(true);
    auto* second = Add<TKeyComboBox>("Second", panel);
    second->SetSkinStyle(asImage);
    second->SetUseUnitLabel(true);
    EXPECT_EQ(panel->ControlCount(), 6);
    delete Edit;
    EXPECT_EQ(panel->ControlCount(), 3) << "the control takes its skin and label along";
    // The panel destroys its children in z-order: the label and the image may go before
    // their control, which must forget them (AddressSanitizer sees a stale pointer).
    delete panel;
    EXPECT_EQ(Form->ControlCount(), 0);
    EXPECT_EQ(Form->FindComponent("Second"), nullptr);
}

class FocusChainTest : public EditFormTest {};

TEST_F(FocusChainTest, ThroughDisabledFramedControlsButNotThroughOthers) {
    auto* a = Add<TNumericEdit>("A");
    auto* b = Add<TKeyComboBox>("B");
    auto* c = Add<TNumericEdit>("C");
    auto* plain = Add<TEdit>("Plain");
    a->SetNextControl(b);
    b->SetNextControl(c);
    c->SetPrevControl(b);
    b->SetPrevControl(a);
    EXPECT_EQ(a->FindNextTarget(), b);
    b->SetEnabled(false);
    EXPECT_EQ(a->FindNextTarget(), c) << "a disabled framed control passes on to its next";
    EXPECT_EQ(c->FindPrevTarget(), a);
    b->Show();
    b->Hide();
    EXPECT_EQ(a->FindNextTarget(), c) << "so does a hidden one";

    b->SetNextControl(plain);
    plain->SetEnabled(false);
    EXPECT_EQ(a->FindNextTarget(), nullptr) << "a disabled plain edit ends the chain";
    plain->SetEnabled(true);
    EXPECT_EQ(a->FindNextTarget(), plain);
    b->SetNextControl(nullptr);
    EXPECT_EQ(a->FindNextTarget(), nullptr);
    EXPECT_EQ(c->FindNextTarget(), nullptr);
}

TEST_F(FocusChainTest, ARingWithoutAFocusableControlEndsWithNone) {
    auto* a = Add<TNumericEdit>("A");
    auto* b = Add<TNumericEdit>("B");
    auto* c = Add<TKeyComboBox>("C");
    // a -> b -> c -> b: b and c cannot take the focus.
    a->SetNextControl(b);
    b->SetNextControl(c);
    c->SetNextControl(b);
    b->SetEnabled(false);
    c->SetEnabled(false);
    EXPECT_EQ(a->FindNextTarget(), nullptr);
    // Around a ring back to the start: the start takes the focus when it can...
    c->SetNextControl(a);
    EXPECT_EQ(a->FindNextTarget(), a);
    a->SetPrevControl(c);
    c->SetPrevControl(b);
    b->SetPrevControl(a);
    EXPECT_EQ(a->FindPrevTarget(), a);
    // ...and when none of the ring can, the search stops with none.
    a->SetEnabled(false);
    EXPECT_EQ(a->FindNextTarget(), nullptr);
    EXPECT_EQ(a->FindPrevTarget(), nullptr);
    a->SetNextControl(a);
    EXPECT_EQ(a->FindNextTarget(), nullptr);
}

TEST_F(FocusChainTest, ANeighbourDestroyedElsewhereIsForgotten) {
    // Neighbours with another owner are only told through free notification.
    auto* a = Add<TNumericEdit>("A");
    auto otherForm = std::make_unique<TForm>(nullptr);
    auto* b = new TEdit(otherForm.get());
    auto* c = new TEdit(otherForm.get());
    a->SetNextControl(b);
    a->SetPrevControl(b); // a ring of two
    a->SetNextControl(c);
    delete b;
    EXPECT_EQ(a->PrevControl(), nullptr) << "still told: the other link held on to it";
    EXPECT_EQ(a->NextControl(), c);
    otherForm.reset();
    EXPECT_EQ(a->NextControl(), nullptr);
}

} // namespace
} // namespace qor::test
