// A form file holding both edit controls, skinned, labelled and chained: it loads with the
// skins and labels where the layout puts them, writes back unchanged, works from the
// keyboard and is photographed.

#include "ControlTestSupport.h"
#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"
#include "framework/FormStreaming.h"
#include "gui/Panel.h"

#include <QImage>
#include <QPixmap>
#include <algorithm>

namespace qor::test {
namespace {

QRect Bounds(const TWinControl& C) {
    return {C.Left(), C.Top(), C.Width(), C.Height()};
}

// The colour at a point of a control in the picture of its window.
TColor ColorAt(const QImage& Shot, const TWinControl& Control, int X, int Y) {
    const QPoint p = Control.Widget()->mapTo(Control.Widget()->window(), QPoint(X, Y));
    return QColorToColor(Shot.pixelColor(p));
}

bool IsLight(TColor C) {
    return std::min({GetRValue(C), GetGValue(C), GetBValue(C)}) >= 200;
}

class EditFormTest : public testing::Test {
protected:
    void SetUp() override {
        Text = ReadTestFile("edit_form.txt");
        Form = std::make_unique<TForm>(nullptr);
        Form->LoadFromText(Text);
        Panel = Find<TPanel>(*Form, "ValuesPanel");
        Pressure = Find<TNumericEdit>(*Form, "PressureEdit");
        Mode = Find<TKeyComboBox>(*Form, "ModeCombo");
        Ratio = Find<TNumericEdit>(*Form, "RatioEdit");
        ASSERT_TRUE(Panel && Pressure && Mode && Ratio);
    }

    std::string Text;
    std::unique_ptr<TForm> Form;
    TPanel* Panel = nullptr;
    TNumericEdit* Pressure = nullptr;
    TKeyComboBox* Mode = nullptr;
    TNumericEdit* Ratio = nullptr;
};

TEST_F(EditFormTest, LoadsTheControlsWithTheirSkinsLabelsAndChain) {
    EXPECT_EQ(Pressure->Precision(), 0.5);
    EXPECT_EQ(Pressure->MaxValue(), 100);
    EXPECT_EQ(Pressure->MinValue(), -20);
    EXPECT_EQ(Pressure->Text(), "12.5");
    EXPECT_EQ(Pressure->DataCode(), 3);
    EXPECT_EQ(Pressure->DataIndex(), 0);
    EXPECT_FALSE(Ratio->Validation());
    EXPECT_EQ(Mode->DataCode(), 4);
    EXPECT_EQ(Mode->DataIndex(), -1);
    EXPECT_FALSE(Mode->MoveFocus());
    EXPECT_EQ(Mode->Text(), "part load");

    EXPECT_EQ(Pressure->NextControl(), Mode);
    EXPECT_EQ(Mode->NextControl(), Ratio);
    EXPECT_EQ(Ratio->NextControl(), Pressure);
    EXPECT_EQ(Pressure->PrevControl(), Ratio);
    EXPECT_EQ(Mode->PrevControl(), Pressure);
    EXPECT_EQ(Ratio->PrevControl(), Mode);

    // Skins and labels by the layout rules, on the controls' parent.
    ASSERT_EQ(Pressure->SkinStyle(), asShape);
    EXPECT_EQ(Pressure->BackShape()->Parent(), Panel);
    EXPECT_EQ(Bounds(*Pressure->BackShape()), QRect(16, 18, 8 + 100 + 40 + 24, 28));
    EXPECT_EQ(Bounds(*Pressure->UnitLabel()), QRect(134, 24, 40, 16));
    EXPECT_EQ(Pressure->UnitLabel()->Caption(), "kPa");
    EXPECT_EQ(Pressure->BackShape()->Brush()->Color(), clSkinShape);

    ASSERT_EQ(Mode->SkinStyle(), asShape);
    EXPECT_TRUE(Mode->FixedShape());
    EXPECT_EQ(Bounds(*Mode->BackShape()), QRect(14, 72, 250, 28)) << "the fixed shape as stored";
    EXPECT_EQ(Mode->BackShape()->Brush()->Color(), clTeal);
    EXPECT_EQ(Mode->BackShape()->Pen()->Color(), clYellow);
    EXPECT_EQ(Mode->UnitLabel()->Caption(), "mode");

    ASSERT_EQ(Ratio->SkinStyle(), asImage);
    EXPECT_EQ(Ratio->BackShape(), nullptr);
    EXPECT_EQ(Bounds(*Ratio->BackImage()), QRect(22, 126, 80 + 40 + 24, 28));
    EXPECT_EQ(Ratio->BackImage()->Picture()->Image().size(), QSize(8, 8));
    EXPECT_TRUE(Ratio->BackImage()->Stretch());
    EXPECT_EQ(Panel->ControlCount(), 9);
    EXPECT_EQ(Form->ComponentCount(), 4) << "the sub-controls belong to their controls";
}

TEST_F(EditFormTest, WritesBackUnchanged) {
    EXPECT_EQ(WriteComponentText(*Form), Text);
    TForm copy(nullptr);
    copy.LoadFromText(WriteComponentText(*Form));
    EXPECT_EQ(WriteComponentText(copy), Text);
}

TEST_F(EditFormTest, IsShownWorksFromTheKeyboardAndIsPhotographed) {
    Form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Widget()));
    EXPECT_TRUE(Pressure->Focused()) << "the active control";

    const QImage shot = Form->Widget()->grab().toImage();
    const QString file = QStringLiteral(QOR_TEST_OUTPUT_DIR "/edit_form.png");
    ASSERT_TRUE(shot.save(file, "PNG")) << file.toStdString();
    ASSERT_EQ(shot.size(), QSize(420, 200));

    TShape* pressureShape = Pressure->BackShape();
    TLabel* pressureLabel = Pressure->UnitLabel();
    EXPECT_EQ(ColorAt(shot, *pressureShape, 4, 14), clSkinShape) << "skin left of the edit";
    EXPECT_EQ(ColorAt(shot, *pressureShape, 165, 14), clSkinShape) << "skin right of the label";
    EXPECT_EQ(ColorAt(shot, *pressureLabel, 38, 1), clSkinShape) << "the label is see-through";
    EXPECT_EQ(ColorAt(shot, *Pressure, 90, 12), clWhite) << "the edit in front of its skin";

    TShape* modeShape = Mode->BackShape();
    EXPECT_EQ(ColorAt(shot, *modeShape, 5, 14), clTeal) << "brush";
    EXPECT_EQ(ColorAt(shot, *modeShape, 125, 1), clYellow) << "pen along the top";
    EXPECT_EQ(ColorAt(shot, *modeShape, 240, 14), clTeal) << "the fixed width reaches on";
    EXPECT_EQ(ColorAt(shot, *Ratio->BackImage(), 1, 14), RGB(0, 160, 0)) << "picture";
    EXPECT_EQ(ColorAt(shot, *Ratio->BackImage(), 140, 14), RGB(0, 160, 0)) << "stretched";
    EXPECT_EQ(ColorAt(shot, *Panel, 390, 170), clNavy) << "panel";

    // Each label's white text lies in the middle band of its height (thin glyphs are
    // smoothed, so light counts as white).
    for (TLabel* label : {pressureLabel, Mode->UnitLabel(), Ratio->UnitLabel()}) {
        SCOPED_TRACE(label->Caption());
        int whiteRows[3] = {0, 0, 0};
        for (int y = 0; y < label->Height(); ++y)
            for (int x = 0; x < label->Width(); ++x)
                if (IsLight(ColorAt(shot, *label, x, y)))
                    ++whiteRows[y * 3 / label->Height()];
        EXPECT_GT(whiteRows[1], 0) << "text drawn";
        EXPECT_GT(whiteRows[1], whiteRows[0]);
        EXPECT_GT(whiteRows[1], whiteRows[2]);
    }

    // Around the ring with Enter and Down.
    QWindow* window = Form->Widget()->windowHandle();
    QTest::keyClick(window, Qt::Key_Return);
    EXPECT_TRUE(Mode->Focused());
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_TRUE(Ratio->Focused());
    QTest::keyClick(window, Qt::Key_Down);
    EXPECT_TRUE(Pressure->Focused());
    QTest::keyClick(window, Qt::Key_Up);
    EXPECT_TRUE(Ratio->Focused());
}

TEST(EditFormFileTest, MaxValueIsReadBeforeMinValue) {
    TForm form(nullptr);
    form.LoadFromText("object F: TForm\n"
                      "  object E: TNumericEdit\n"
                      "    MaxValue = -10\n"
                      "    MinValue = -20\n"
                      "  end\n"
                      "end\n");
    auto* edit = Find<TNumericEdit>(form, "E");
    ASSERT_NE(edit, nullptr);
    EXPECT_EQ(edit->MaxValue(), 0) << "read while MinValue was still 0";
    EXPECT_EQ(edit->MinValue(), -20);
}

TEST(EditFormFileTest, SubControlPropertiesNeedTheirStyleFirst) {
    TForm form(nullptr);
    EXPECT_THROW(form.LoadFromText("object F: TForm\n"
                                   "  object E: TNumericEdit\n"
                                   "    SkinStyle = asShape\n"
                                   "    BackImage.Width = 40\n"
                                   "  end\n"
                                   "end\n"),
                 EReadError);
    EXPECT_EQ(form.ComponentCount(), 0) << "what the read created is gone again";
}

} // namespace
} // namespace qor::test
