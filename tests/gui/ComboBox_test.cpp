// The combo box's list opened and closed through DroppedDown, with keys reaching the
// control while it is open.

#include "GuiTestSupport.h"
#include "gui/ComboBox.h"
#include "gui/Edit.h"

#include <QAbstractItemView>
#include <QComboBox>

namespace qor::test {
namespace {

// Records its hooks; Enter toggles the list, as a keyboard-driven combo box does.
class TRecordingCombo : public TComboBox {
public:
    using TComboBox::TComboBox;

    std::vector<Word> KeyDowns;
    std::vector<char> KeyPresses;
    int DropDowns = 0;
    std::vector<int> Changes; // ItemIndex at each Change

protected:
    void KeyDown(Word& Key, TShiftState Shift) override {
        KeyDowns.push_back(Key);
        TComboBox::KeyDown(Key, Shift);
    }
    void KeyPress(char& Key) override {
        KeyPresses.push_back(Key);
        if (Key == '\r') {
            SetDroppedDown(!DroppedDown());
            Key = 0;
        }
        TComboBox::KeyPress(Key);
    }
    void DropDown() override {
        ++DropDowns;
        TComboBox::DropDown();
    }
    void Change() override {
        Changes.push_back(ItemIndex());
        TComboBox::Change();
    }
};

class ComboBoxTest : public ShownFormTest {
protected:
    void SetUp() override {
        ShownFormTest::SetUp();
        Combo = new TRecordingCombo(Form.get());
        Combo->SetParent(Form.get());
        for (const char* item : {"red", "green", "blue"})
            Combo->Items()->Add(item);
        Combo->SetItemIndex(0);
        Combo->SetFocus();
    }
    // Through the window, as the platform delivers keys: to the open list when there is
    // one, else to the focused control.
    void Press(Qt::Key Key) { QTest::keyClick(Form->Widget()->windowHandle(), Key); }

    TRecordingCombo* Combo = nullptr;
};

TEST_F(ComboBoxTest, DroppedDownOpensAndClosesTheRealList) {
    QAbstractItemView* list = static_cast<QComboBox*>(Combo->Widget())->view();
    EXPECT_FALSE(Combo->DroppedDown());
    Combo->SetDroppedDown(true);
    EXPECT_TRUE(Combo->DroppedDown());
    EXPECT_TRUE(list->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), list->window());
    EXPECT_EQ(Combo->DropDowns, 1);
    Combo->SetDroppedDown(false);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_FALSE(list->isVisible());
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    EXPECT_TRUE(Combo->Focused()) << "the list closing gives the focus back";
}

TEST_F(ComboBoxTest, KeysReachTheControlWhileTheListIsOpen) {
    Press(Qt::Key_Return);
    ASSERT_TRUE(Combo->DroppedDown());
    EXPECT_EQ(Combo->DropDowns, 1);

    // The open list gets the keys, but the control sees each one first; moving through
    // the list selects as it goes.
    Combo->KeyDowns.clear();
    Press(Qt::Key_Down);
    Press(Qt::Key_Down);
    EXPECT_EQ(Combo->KeyDowns, (std::vector<Word>{VK_DOWN, VK_DOWN}));
    EXPECT_TRUE(Combo->DroppedDown());
    EXPECT_EQ(Combo->ItemIndex(), 2);
    EXPECT_EQ(Combo->Changes, (std::vector<int>{1, 2}));

    // The control may take a key away from the list.
    Combo->SetOnKeyDown([](TObject*, Word& Key, TShiftState) {
        if (Key == VK_UP)
            Key = 0;
    });
    Press(Qt::Key_Up);
    EXPECT_EQ(Combo->ItemIndex(), 2);

    // Setting ItemIndex while open moves the list's highlight too; Enter closes the list.
    Combo->SetItemIndex(0);
    EXPECT_EQ(static_cast<QComboBox*>(Combo->Widget())->view()->currentIndex().row(), 0);
    Press(Qt::Key_Return);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_EQ(Combo->KeyPresses.back(), '\r');
    EXPECT_EQ(Combo->ItemIndex(), 0);
    EXPECT_EQ(Combo->Text(), "red");
    EXPECT_EQ(Combo->Changes.size(), 2u) << "a change from the program is not the user's";
}

TEST_F(ComboBoxTest, KeysTheControlLeavesAloneWorkTheListAsUsual) {
    auto* plain = new TComboBox(Form.get());
    plain->SetParent(Form.get());
    plain->Items()->SetText("one\ntwo\nthree");
    plain->SetItemIndex(0);
    plain->SetFocus();
    std::vector<Word> seen;
    plain->SetOnKeyDown([&](TObject*, Word& Key, TShiftState) { seen.push_back(Key); });

    int dropDowns = 0;
    plain->SetOnDropDown([&](TObject*) { ++dropDowns; });
    Press(Qt::Key_F4); // the user opens the list
    EXPECT_TRUE(plain->DroppedDown());
    EXPECT_EQ(dropDowns, 1);
    Press(Qt::Key_Down);
    Press(Qt::Key_Return); // selects and closes
    EXPECT_FALSE(plain->DroppedDown());
    EXPECT_EQ(plain->ItemIndex(), 1);
    plain->SetDroppedDown(true);
    Press(Qt::Key_Escape); // closes
    EXPECT_FALSE(plain->DroppedDown());
    EXPECT_EQ(seen, (std::vector<Word>{VK_F1 + 3, VK_DOWN, VK_RETURN, VK_ESCAPE}));
    EXPECT_EQ(dropDowns, 2);
}

TEST_F(ComboBoxTest, TheListTakingTheFocusIsNoExit) {
    auto* other = new TEdit(Form.get());
    other->SetParent(Form.get());
    int enters = 0, exits = 0;
    Combo->SetOnEnter([&](TObject*) { ++enters; });
    Combo->SetOnExit([&](TObject*) { ++exits; });
    // The list takes the focus when it first opens.
    Press(Qt::Key_Return);
    ASSERT_TRUE(Combo->DroppedDown());
    Press(Qt::Key_Return);
    Combo->SetDroppedDown(true);
    Combo->SetDroppedDown(false);
    EXPECT_EQ(enters, 0);
    EXPECT_EQ(exits, 0);
    other->SetFocus();
    EXPECT_EQ(exits, 1) << "still entered, so leaving is an exit";
}

TEST_F(ComboBoxTest, EscOnTheOpenListReachesTheControlFirst) {
    Combo->SetDroppedDown(true);
    bool openWhenSeen = false;
    Combo->SetOnKeyDown([&](TObject*, Word& Key, TShiftState) {
        if (Key == VK_ESCAPE) {
            openWhenSeen = Combo->DroppedDown();
            Key = 0;
        }
    });
    Press(Qt::Key_Escape);
    EXPECT_TRUE(openWhenSeen);
    EXPECT_TRUE(Combo->DroppedDown()) << "swallowed: the list stays open";
    Combo->SetOnKeyDown(nullptr);
    Press(Qt::Key_Escape);
    EXPECT_FALSE(Combo->DroppedDown()) << "passed on: the list closes as usual";
}

TEST_F(ComboBoxTest, ArrowsOnTheClosedListChangeTheSelection) {
    Press(Qt::Key_Down);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_EQ(Combo->ItemIndex(), 1);
    EXPECT_EQ(Combo->Changes, std::vector<int>{1});
}

TEST_F(ComboBoxTest, EditingTheItemsKeepsTheSelectionWhileItExists) {
    Combo->SetItemIndex(1);
    Combo->Items()->Add("black");
    EXPECT_EQ(Combo->ItemIndex(), 1);
    EXPECT_EQ(static_cast<QComboBox*>(Combo->Widget())->count(), 4);
    Combo->Items()->Delete(3);
    Combo->Items()->Delete(2);
    EXPECT_EQ(Combo->ItemIndex(), 1);
    Combo->Items()->Clear();
    EXPECT_EQ(Combo->ItemIndex(), -1);
    Combo->SetItemIndex(5);
    EXPECT_EQ(Combo->ItemIndex(), -1);
    EXPECT_TRUE(Combo->Changes.empty());
}

} // namespace
} // namespace qor::test
