// The key combo box with real keys and mouse clicks on its real drop-down list: every row
// of its key table with the list open and closed, confirming and restoring, and where its
// keys differ from what Qt's own combo box would do.

#include "ControlTestSupport.h"
#include "controls/KeyComboBox.h"
#include "controls/NumericEdit.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <vector>

namespace qor::test {
namespace {

class KeyComboBoxTest : public EditFormTest {
protected:
    void SetUp() override {
        EditFormTest::SetUp();
        Combo = Add<TKeyComboBox>("Combo");
        Combo->SetBounds(10, 10, 140, 24);
        Combo->Items()->SetText("red\ngreen\nblue\nblack");
        Combo->SetItemIndex(1);
        Combo->SetOnKeyDown([this](TObject*, Word& Key, TShiftState) { KeyDowns.push_back(Key); });
        Combo->SetOnKeyPress([this](TObject*, char& Key) { KeyPresses.push_back(Key); });
        Combo->SetOnChange([this](TObject*) { Changes.push_back(Combo->ItemIndex()); });
        Combo->SetOnDropDown([this](TObject*) { ++DropDownEvents; });
        Combo->SetFocus();
        ASSERT_TRUE(Combo->Focused());
    }
    QAbstractItemView* List() const { return static_cast<QComboBox*>(Combo->Widget())->view(); }
    // Waits until the list has closed (Qt may close it a moment after a click).
    void WaitForListClosed() {
        for (int i = 0; i < 50 && List()->isVisible(); ++i)
            QTest::qWait(20);
    }
    void Forget() {
        KeyDowns.clear();
        KeyPresses.clear();
        Changes.clear();
    }

    TKeyComboBox* Combo = nullptr;
    std::vector<Word> KeyDowns;   // what OnKeyDown received
    std::vector<char> KeyPresses; // what OnKeyPress received
    std::vector<int> Changes;     // ItemIndex at each OnChange
    int DropDownEvents = 0;
};

TEST_F(KeyComboBoxTest, StartsClosedWithTheItemOfEntrySaved) {
    auto* fresh = Add<TKeyComboBox>("Fresh");
    EXPECT_EQ(fresh->SavedIndex(), 0);
    EXPECT_FALSE(fresh->DropState());
    EXPECT_TRUE(fresh->MoveFocus());
    EXPECT_EQ(Combo->SavedIndex(), 1) << "taken on entering";
    EXPECT_FALSE(Combo->DropState());
}

TEST_F(KeyComboBoxTest, KeyTableOpenAndClosed) {
    struct Case {
        const char* Name;
        bool Open;
        int Start;
        Qt::Key Key;
        Word Passed; // the key left for the framework's handling (OnKeyDown)
        int Index;   // ItemIndex afterwards
        bool OpenAfter;
    };
    const Case cases[] = {
        {"Esc open", true, 2, Qt::Key_Escape, 0, 1, false},
        {"Esc closed", false, 2, Qt::Key_Escape, VK_ESCAPE, 2, false},
        {"PageUp open", true, 2, Qt::Key_PageUp, VK_PRIOR, 0, true},
        {"PageDown open", true, 1, Qt::Key_PageDown, VK_NEXT, 3, true},
        {"PageUp closed", false, 2, Qt::Key_PageUp, 0, 2, false},
        {"PageDown closed", false, 2, Qt::Key_PageDown, 0, 2, false},
        {"Left open", true, 2, Qt::Key_Left, 0, 2, true},
        {"Right open", true, 2, Qt::Key_Right, 0, 2, true},
        {"Left closed", false, 2, Qt::Key_Left, 0, 2, false},
        {"Right closed", false, 2, Qt::Key_Right, 0, 2, false},
        {"Up open", true, 2, Qt::Key_Up, VK_UP, 1, true},
        {"Up open on the first", true, 0, Qt::Key_Up, 0, 3, true},
        {"Down open", true, 2, Qt::Key_Down, VK_DOWN, 3, true},
        {"Down open on the last", true, 3, Qt::Key_Down, 0, 0, true},
        {"Up closed", false, 2, Qt::Key_Up, 0, 2, false},
        {"Down closed", false, 2, Qt::Key_Down, 0, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        Combo->SetItemIndex(c.Start);
        if (c.Open) {
            Press(Qt::Key_Return);
            ASSERT_TRUE(Combo->DroppedDown());
        }
        Forget();
        Press(c.Key);
        EXPECT_EQ(KeyDowns, std::vector<Word>{c.Passed});
        EXPECT_EQ(Combo->ItemIndex(), c.Index);
        EXPECT_EQ(Combo->DroppedDown(), c.OpenAfter);
        EXPECT_EQ(Combo->DropState(), c.OpenAfter);
        // Close without confirming, back to the saved item 1.
        if (Combo->DroppedDown())
            Press(Qt::Key_Escape);
        ASSERT_FALSE(Combo->DroppedDown());
        EXPECT_EQ(Combo->SavedIndex(), 1) << "no key of the table confirms";
    }
    EXPECT_EQ(DropDownEvents, 0) << "opening never raises OnDropDown";
}

TEST_F(KeyComboBoxTest, EnterOpensAndEnterClosingConfirms) {
    Press(Qt::Key_Return);
    EXPECT_TRUE(Combo->DroppedDown());
    EXPECT_TRUE(Combo->DropState());
    Press(Qt::Key_Down);
    EXPECT_EQ(Combo->ItemIndex(), 2) << "moving through the open list selects";
    EXPECT_EQ(Combo->SavedIndex(), 1) << "but confirms nothing";
    Press(Qt::Key_Return);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_FALSE(Combo->DropState());
    EXPECT_EQ(Combo->ItemIndex(), 2);
    EXPECT_EQ(Combo->SavedIndex(), 2);
    EXPECT_EQ(KeyPresses, (std::vector<char>{'\r', '\r'})) << "OnKeyPress sees each Enter";

    // Esc on the list opened later returns to the item confirmed.
    Press(Qt::Key_Return);
    Press(Qt::Key_Down);
    EXPECT_EQ(Combo->ItemIndex(), 3);
    Press(Qt::Key_Escape);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_EQ(Combo->ItemIndex(), 2);
    EXPECT_EQ(Combo->Text(), "blue");
}

TEST_F(KeyComboBoxTest, EscWithoutConfirmationReturnsToTheItemOfEntry) {
    Press(Qt::Key_Return);
    Press(Qt::Key_Down);
    Press(Qt::Key_Down);
    EXPECT_EQ(Combo->ItemIndex(), 3);
    Press(Qt::Key_Escape);
    EXPECT_EQ(Combo->ItemIndex(), 1);
    EXPECT_EQ(Combo->Text(), "green");
}

TEST_F(KeyComboBoxTest, UpAndDownOnTheClosedListMoveTheFocusNotTheSelection) {
    auto* prev = Add<TNumericEdit>("Prev");
    auto* next = Add<TNumericEdit>("Next");
    Press(Qt::Key_Down);
    Press(Qt::Key_Up);
    EXPECT_TRUE(Combo->Focused()) << "no neighbours: nothing happens";
    EXPECT_EQ(Combo->ItemIndex(), 1);

    Combo->SetPrevControl(prev);
    Combo->SetNextControl(next);
    Press(Qt::Key_Down);
    EXPECT_TRUE(next->Focused());
    Combo->SetFocus();
    Press(Qt::Key_Up);
    EXPECT_TRUE(prev->Focused());
    EXPECT_EQ(Combo->ItemIndex(), 1);
    EXPECT_TRUE(Changes.empty());

    // Alt+Down would open Qt's list; here it is Down.
    Combo->SetFocus();
    Press(Qt::Key_Down, Qt::AltModifier);
    EXPECT_TRUE(next->Focused());
    EXPECT_FALSE(Combo->DroppedDown());
}

TEST_F(KeyComboBoxTest, TypedCharactersReachOnKeyPressButNotTheList) {
    Type("b "); // Qt would select "blue" and open the list on the space
    EXPECT_EQ(KeyPresses, (std::vector<char>{'b', ' '}));
    EXPECT_EQ(Combo->ItemIndex(), 1);
    EXPECT_FALSE(Combo->DroppedDown());
    Press(Qt::Key_Return);
    Type("b");
    EXPECT_EQ(Combo->ItemIndex(), 1) << "nor the open list";
    EXPECT_TRUE(Combo->DroppedDown());
}

TEST_F(KeyComboBoxTest, AChangeOnTheClosedListIsConfirmedAtOnce) {
    Press(Qt::Key_End); // not in the table: Qt selects the last item
    EXPECT_EQ(Combo->ItemIndex(), 3);
    EXPECT_EQ(Changes, std::vector<int>{3});
    EXPECT_EQ(Combo->SavedIndex(), 3);
    EXPECT_FALSE(Combo->DroppedDown()) << "the list stays closed";
    EXPECT_FALSE(Combo->DropState());
    EXPECT_EQ(KeyPresses, std::vector<char>{'\r'}) << "OnKeyPress sees an Enter";
    Press(Qt::Key_Return);
    EXPECT_TRUE(Combo->DroppedDown()) << "the next Enter opens the list";
}

TEST_F(KeyComboBoxTest, QtsOwnOpeningKeyIsRecorded) {
    Press(Qt::Key_F4);
    EXPECT_TRUE(Combo->DroppedDown());
    EXPECT_TRUE(Combo->DropState());
    EXPECT_EQ(DropDownEvents, 0);
    Press(Qt::Key_Down);
    Press(Qt::Key_Return);
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_EQ(Combo->SavedIndex(), 2);
}

TEST_F(KeyComboBoxTest, AfterTheMouseClosedTheListEnterConfirmsWithoutOpening) {
    QTest::mouseClick(Combo->Widget(), Qt::LeftButton);
    ASSERT_TRUE(Combo->DroppedDown());
    EXPECT_TRUE(Combo->DropState());
    // Qt ignores a release on the list right after it opened.
    QTest::qWait(QApplication::doubleClickInterval() + 50);
    const QRect item = List()->visualRect(List()->model()->index(3, 0));
    QTest::mouseClick(List()->viewport(), Qt::LeftButton, {}, item.center());
    WaitForListClosed();
    ASSERT_FALSE(Combo->DroppedDown());
    EXPECT_EQ(Combo->ItemIndex(), 3);
    EXPECT_TRUE(Combo->DropState()) << "the list closing by itself does not clear it";
    EXPECT_EQ(Combo->SavedIndex(), 1) << "nothing confirmed yet";

    Press(Qt::Key_Return);
    EXPECT_FALSE(Combo->DroppedDown()) << "this Enter confirms";
    EXPECT_EQ(Combo->SavedIndex(), 3);
    EXPECT_FALSE(Combo->DropState());
    Press(Qt::Key_Return);
    EXPECT_TRUE(Combo->DroppedDown()) << "the Enter after that opens";
}

TEST_F(KeyComboBoxTest, LeavingClosesTheList) {
    auto* next = Add<TNumericEdit>("Next");
    Press(Qt::Key_Return);
    ASSERT_TRUE(Combo->DroppedDown());
    next->SetFocus();
    EXPECT_FALSE(Combo->DroppedDown());
    EXPECT_TRUE(next->Focused());
}

} // namespace
} // namespace qor::test
