// Behaviour of the individual controls beyond keys: accelerators, radio groups, pictures,
// a panel hosting a widget of its own, messages.

#include "GuiTestSupport.h"
#include "framework/FormStreaming.h"
#include "gui/Button.h"
#include "gui/Edit.h"
#include "gui/Image.h"
#include "gui/RadioButton.h"

#include <QLineEdit>
#include <QPushButton>

namespace qor::test {
namespace {

class ControlsTest : public ShownFormTest {};

TEST_F(ControlsTest, AmpersandMarksTheButtonsAccelerator) {
    // Qt's offscreen platform does not deliver shortcuts, so the test checks that the
    // accelerator is registered and that the button clicks through it.
    auto* ok = new TButton(Form.get());
    ok->SetParent(Form.get());
    ok->SetCaption("&Ok");
    auto* both = new TButton(Form.get());
    both->SetParent(Form.get());
    both->SetCaption("Save && close");
    auto* okWidget = static_cast<QPushButton*>(ok->Widget());
    EXPECT_EQ(okWidget->shortcut(), QKeySequence(Qt::ALT | Qt::Key_O));
    EXPECT_TRUE(static_cast<QPushButton*>(both->Widget())->shortcut().isEmpty());
    int clicks = 0;
    ok->SetOnClick([&](TObject*) { ++clicks; });
    QTest::mouseClick(okWidget, Qt::LeftButton);
    ok->ClickButton();
    EXPECT_EQ(clicks, 2);
}

TEST_F(ControlsTest, RadioButtonsOfOneParentExcludeEachOther) {
    auto* a = new TRadioButton(Form.get());
    auto* b = new TRadioButton(Form.get());
    auto* other = new TRadioButton(Form.get());
    auto* panel = new TPanel(Form.get());
    a->SetParent(Form.get());
    b->SetParent(Form.get());
    panel->SetParent(Form.get());
    other->SetParent(panel);
    a->SetChecked(true);
    other->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(other->Checked()) << "another parent, another group";
    b->SetChecked(false);
    EXPECT_FALSE(b->Checked()) << "the program may uncheck the checked one";

    int clicks = 0;
    a->SetCaption("A");
    a->SetOnClick([&](TObject*) { ++clicks; });
    QTest::mouseClick(a->Widget(), Qt::LeftButton, {}, QPoint(6, 8)); // on the indicator
    EXPECT_TRUE(a->Checked());
    EXPECT_EQ(clicks, 1);
}

TEST_F(ControlsTest, ImageDrawsItsPictureAndStoresItWithTheForm) {
    auto* image = new TImage(Form.get());
    image->SetName("Picture1");
    image->SetParent(Form.get());
    image->SetBounds(0, 0, 40, 40);
    QImage picture(10, 10, QImage::Format_RGB32);
    picture.fill(QColor(0, 128, 255));
    image->Picture()->SetImage(picture);
    image->SetCenter(true);

    const QImage shot = image->Widget()->grab().toImage();
    EXPECT_EQ(QColorToColor(shot.pixelColor(20, 20)), RGB(0, 128, 255));
    EXPECT_NE(QColorToColor(shot.pixelColor(2, 2)), RGB(0, 128, 255)) << "centred, not at 0,0";
    image->SetStretch(true);
    EXPECT_EQ(QColorToColor(image->Widget()->grab().toImage().pixelColor(2, 2)), RGB(0, 128, 255));

    const std::string text = WriteComponentText(*Form);
    EXPECT_NE(text.find("Picture.Data = {"), std::string::npos) << text;
    TForm copy(nullptr);
    copy.LoadFromText(text);
    auto* read = dynamic_cast<TImage*>(copy.FindComponent("Picture1"));
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(read->Picture()->Image().convertToFormat(QImage::Format_RGB32), picture);
}

// A panel that draws through a widget of its own, as a native drawing surface would.
class TSurfacePanel : public TRecordingPanel {
public:
    explicit TSurfacePanel(TComponent* AOwner) : TRecordingPanel(AOwner) {
        SetBevelOuter(bvNone);
        Surface = new QLineEdit;
        HostClientWidget(Surface);
    }
    QLineEdit* Surface;
};

TEST_F(ControlsTest, APanelsOwnWidgetFillsItAndItsKeysAndFocusReachThePanel) {
    auto* panel = new TSurfacePanel(Form.get());
    panel->SetName("Surface");
    panel->SetParent(Form.get());
    panel->SetBounds(10, 10, 200, 100);
    auto* other = new TEdit(Form.get());
    other->SetParent(Form.get());
    other->SetTop(150);
    QCoreApplication::processEvents(); // lets the layout place the surface
    EXPECT_EQ(panel->Surface->geometry(), QRect(0, 0, 200, 100));

    panel->SetFocus();
    EXPECT_TRUE(panel->Surface->hasFocus());
    EXPECT_TRUE(panel->Focused());
    panel->SetOnKeyPress([](TObject*, char& Key) {
        if (Key == 'q')
            Key = 'Q';
    });
    QTest::keyClick(Form->Widget()->windowHandle(), Qt::Key_Up);
    QTest::keyClicks(panel->Surface, "aq");
    ASSERT_EQ(panel->KeyDowns.size(), 3u);
    EXPECT_EQ(panel->KeyDowns[0].Key, VK_UP);
    EXPECT_EQ(panel->KeyPresses, (std::vector<char>{'a', 'q'}));
    EXPECT_EQ(panel->Surface->text(), "aQ") << "the replaced character reaches the surface";

    other->SetFocus();
    EXPECT_EQ(panel->Log, (std::vector<std::string>{"enter Surface", "exit Surface"}));
}

// Answers one message and passes the others on.
class TMessagePanel : public TPanel {
public:
    using TPanel::TPanel;
    static constexpr unsigned WM_PROBE = WM_APP + 1;

protected:
    void Dispatch(TMessage& Message) override {
        if (Message.Msg == WM_PROBE)
            Message.Result = static_cast<LRESULT>(Message.WParam + Message.LParam);
        else
            TPanel::Dispatch(Message);
    }
};

TEST_F(ControlsTest, PerformDeliversAMessageToDispatch) {
    TMessagePanel panel(nullptr);
    EXPECT_EQ(panel.Perform(TMessagePanel::WM_PROBE, 40, 2), 42);
    EXPECT_EQ(panel.Perform(WM_APP + 2, 40, 2), 0);
}

} // namespace
} // namespace qor::test
