// A form file with a panel, an edit, a combo box, a button and a few drawn controls,
// loaded into a form, shown and photographed.

#include "GuiTestSupport.h"
#include "framework/FormStreaming.h"
#include "gui/Button.h"
#include "gui/ComboBox.h"
#include "gui/Edit.h"
#include "gui/Label.h"
#include "gui/RadioButton.h"
#include "gui/Shape.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QSet>

namespace qor::test {
namespace {

// The colour at a point of the form's picture, as a TColor.
TColor ColorAt(const QImage& Image, const TWinControl& Control, int X, int Y) {
    const QPoint p = Control.Widget()->mapTo(Control.Widget()->window(), QPoint(X, Y));
    return QColorToColor(Image.pixelColor(p));
}

class FormFileTest : public testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm>(nullptr);
        Form->LoadFromText(ReadTestFile("calibration_form.txt"));
    }

    std::unique_ptr<TForm> Form;
};

TEST_F(FormFileTest, NestedObjectsBecomeChildControlsWithTheirProperties) {
    auto* panel = Find<TPanel>(*Form, "ValuesPanel");
    auto* edit = Find<TEdit>(*Form, "ValueEdit");
    auto* combo = Find<TComboBox>(*Form, "UnitCombo");
    auto* button = Find<TButton>(*Form, "OkButton");
    auto* label = Find<TLabel>(*Form, "UnitLabel");
    auto* shape = Find<TShape>(*Form, "Skin");
    auto* absolute = Find<TRadioButton>(*Form, "ModeAbsolute");
    ASSERT_TRUE(panel && edit && combo && button && label && shape && absolute);

    EXPECT_EQ(Form->Name(), "CalibrationForm");
    EXPECT_EQ(Form->Widget()->windowTitle(), "Calibration");
    EXPECT_EQ(Form->Color(), clSilver);
    EXPECT_EQ(Form->ActiveControl(), edit);
    EXPECT_EQ(panel->Parent(), Form.get());
    EXPECT_EQ(edit->Parent(), panel);
    EXPECT_EQ(combo->Parent(), panel);
    EXPECT_EQ(button->Parent(), Form.get());
    EXPECT_EQ(panel->ControlCount(), 6);
    EXPECT_EQ(edit->Widget()->geometry(), QRect(14, 12, 120, 24));
    EXPECT_EQ(edit->Text(), "12.5");
    EXPECT_EQ(combo->Items()->Count(), 3);
    EXPECT_EQ(combo->ItemIndex(), 1);
    EXPECT_EQ(combo->Text(), "km/h");
    EXPECT_EQ(button->Caption(), "&Ok");
    EXPECT_EQ(label->Font()->Color(), clWhite);
    EXPECT_EQ(label->Layout(), tlCenter);
    EXPECT_EQ(label->Width(), 80);
    EXPECT_EQ(shape->Pen()->Width(), 3);
    EXPECT_TRUE(absolute->Checked());
    EXPECT_FALSE(Find<TRadioButton>(*Form, "ModeRelative")->Checked());
    EXPECT_FALSE(Form->Visible());
}

TEST_F(FormFileTest, WrittenFormReadsBackTheSame) {
    const std::string text = WriteComponentText(*Form);
    EXPECT_NE(text.find("Color = clNavy"), std::string::npos) << text;
    EXPECT_NE(text.find("'km/h'"), std::string::npos) << text;
    TForm copy(nullptr);
    copy.LoadFromText(text);
    EXPECT_EQ(WriteComponentText(copy), text);
    auto* combo = Find<TComboBox>(copy, "UnitCombo");
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->Text(), "km/h");
    EXPECT_EQ(Find<TEdit>(copy, "ValueEdit")->Parent(), copy.FindComponent("ValuesPanel"));
}

TEST_F(FormFileTest, ShownFormIsDrawnAndPhotographed) {
    Form->Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Widget()));
    auto* edit = Find<TEdit>(*Form, "ValueEdit");
    EXPECT_TRUE(edit->Focused()) << "the active control gets the focus";

    const QString file = QDir(QString::fromStdString(testing::TempDir())).filePath("form.png");
    ASSERT_TRUE(Form->Widget()->grab().save(file, "PNG"));
    ASSERT_GT(QFile(file).size(), 0);
    QImage shot(file);
    ASSERT_FALSE(shot.isNull());
    EXPECT_EQ(shot.size(), QSize(360, 220));

    QSet<QRgb> colours;
    for (int y = 0; y < shot.height(); y += 2)
        for (int x = 0; x < shot.width(); x += 2)
            colours.insert(shot.pixel(x, y));
    EXPECT_GT(colours.size(), 10) << "a picture of several controls, not one colour";

    auto* panel = Find<TPanel>(*Form, "ValuesPanel");
    auto* shape = Find<TShape>(*Form, "Skin");
    auto* label = Find<TLabel>(*Form, "UnitLabel");
    EXPECT_EQ(ColorAt(shot, *Form, 200, 212), clSilver) << "form background";
    EXPECT_EQ(ColorAt(shot, *panel, 300, 140), clNavy) << "panel background";
    EXPECT_EQ(ColorAt(shot, *shape, 5, 18), clRed) << "shape inside, left of the edit";
    EXPECT_EQ(ColorAt(shot, *shape, 70, 1), clYellow) << "shape outline";
    EXPECT_EQ(ColorAt(shot, *edit, 110, 12), clWhite) << "edit background";

    // The label's white text sits in the middle band of its height.
    int whiteRows[3] = {0, 0, 0};
    for (int y = 0; y < label->Height(); ++y)
        for (int x = 0; x < label->Width(); ++x)
            if (ColorAt(shot, *label, x, y) == clWhite)
                ++whiteRows[y * 3 / label->Height()];
    EXPECT_GT(whiteRows[1], 0) << "text drawn";
    EXPECT_GT(whiteRows[1], whiteRows[0]);
    EXPECT_GT(whiteRows[1], whiteRows[2]);
}

} // namespace
} // namespace qor::test
