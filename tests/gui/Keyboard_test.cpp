// Real key presses on real widgets reach KeyDown and KeyPress with the framework's codes.

#include "GuiTestSupport.h"
#include "gui/Edit.h"

namespace qor::test {
namespace {

struct KeyCase {
    const char* Name;
    Qt::Key QtKey;
    Qt::KeyboardModifiers Modifiers;
    Word Key;
    TShiftState Shift;
    std::optional<char> Typed;
    // The text the platform sends with the key, where Qt Test would not send it itself.
    const char* Text = nullptr;
};

const KeyCase KeyCases[] = {
    {"letter", Qt::Key_A, Qt::NoModifier, 'A', {}, 'a'},
    {"shifted letter", Qt::Key_A, Qt::ShiftModifier, 'A', ssShift, 'A', "A"},
    {"digit", Qt::Key_7, Qt::NoModifier, '7', {}, '7'},
    {"ctrl+a", Qt::Key_A, Qt::ControlModifier, 'A', ssCtrl, '\x01'},
    {"ctrl+v", Qt::Key_V, Qt::ControlModifier, 'V', ssCtrl, '\x16'},
    {"ctrl+shift+z", Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier, 'Z', ssCtrl | ssShift,
     '\x1a'},
    {"alt+x", Qt::Key_X, Qt::AltModifier, 'X', ssAlt, std::nullopt},
    {"left", Qt::Key_Left, Qt::NoModifier, VK_LEFT, {}, std::nullopt},
    {"up", Qt::Key_Up, Qt::NoModifier, VK_UP, {}, std::nullopt},
    {"right", Qt::Key_Right, Qt::NoModifier, VK_RIGHT, {}, std::nullopt},
    {"ctrl+down", Qt::Key_Down, Qt::ControlModifier, VK_DOWN, ssCtrl, std::nullopt},
    {"shift+down", Qt::Key_Down, Qt::ShiftModifier, VK_DOWN, ssShift, std::nullopt},
    {"enter", Qt::Key_Return, Qt::NoModifier, VK_RETURN, {}, '\r'},
    {"keypad enter", Qt::Key_Enter, Qt::KeypadModifier, VK_RETURN, {}, '\r'},
    {"escape", Qt::Key_Escape, Qt::NoModifier, VK_ESCAPE, {}, '\x1b'},
    {"backspace", Qt::Key_Backspace, Qt::NoModifier, VK_BACK, {}, '\b'},
    {"page up", Qt::Key_PageUp, Qt::NoModifier, VK_PRIOR, {}, std::nullopt},
    {"page down", Qt::Key_PageDown, Qt::NoModifier, VK_NEXT, {}, std::nullopt},
    {"home", Qt::Key_Home, Qt::NoModifier, VK_HOME, {}, std::nullopt},
    {"end", Qt::Key_End, Qt::NoModifier, VK_END, {}, std::nullopt},
    {"delete", Qt::Key_Delete, Qt::NoModifier, VK_DELETE, {}, std::nullopt},
    {"f1", Qt::Key_F1, Qt::NoModifier, VK_F1, {}, std::nullopt},
    {"f12", Qt::Key_F12, Qt::NoModifier, VK_F1 + 11, {}, std::nullopt},
    {"keypad 3", Qt::Key_3, Qt::KeypadModifier, VK_NUMPAD0 + 3, {}, '3'},
};

class KeyboardTest : public ShownFormTest {
protected:
    void SetUp() override {
        ShownFormTest::SetUp();
        Panel = new TRecordingPanel(Form.get());
        Panel->SetName("Panel");
        Panel->SetParent(Form.get());
        Panel->SetFocus();
    }

    // Presses the key through the window, as the platform would: it goes to the focus.

    TRecordingPanel* Panel = nullptr;
};

TEST_F(KeyboardTest, KeyCodesShiftStatesAndCharactersReachTheHooks) {
    for (const KeyCase& c : KeyCases) {
        SCOPED_TRACE(c.Name);
        Panel->KeyDowns.clear();
        Panel->KeyPresses.clear();
        if (c.Text)
            QTest::sendKeyEvent(QTest::Click, Form->Widget()->windowHandle(), c.QtKey,
                                QString(c.Text), c.Modifiers);
        else
            Press(c.QtKey, c.Modifiers);
        // The modifier keys go down first, as they do on a keyboard.
        ASSERT_FALSE(Panel->KeyDowns.empty());
        for (std::size_t i = 0; i + 1 < Panel->KeyDowns.size(); ++i) {
            const Word k = Panel->KeyDowns[i].Key;
            EXPECT_TRUE(k == VK_SHIFT || k == VK_CONTROL || k == VK_MENU) << k;
        }
        EXPECT_EQ(Panel->KeyDowns.back().Key, c.Key);
        EXPECT_TRUE(Panel->KeyDowns.back().Shift == c.Shift);
        if (c.Typed) {
            ASSERT_EQ(Panel->KeyPresses.size(), 1u);
            EXPECT_EQ(Panel->KeyPresses[0], *c.Typed);
        } else {
            EXPECT_TRUE(Panel->KeyPresses.empty());
        }
    }
}

TEST_F(KeyboardTest, ArrowsEnterAndTabReachTheFocusedControlFirst) {
    auto* second = new TRecordingPanel(Form.get());
    second->SetName("Second");
    second->SetParent(Form.get());
    second->SetTop(100);

    for (Qt::Key key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Left, Qt::Key_Up, Qt::Key_Return})
        Press(key);
    ASSERT_EQ(Panel->KeyDowns.size(), 5u);
    EXPECT_EQ(Panel->KeyDowns[4].Key, VK_RETURN);
    EXPECT_TRUE(Panel->Focused());

    // Tab is seen by the control; swallowed, it keeps the focus there.
    Panel->SetOnKeyDown([](TObject*, Word& Key, TShiftState) {
        if (Key == VK_TAB)
            Key = 0;
    });
    Press(Qt::Key_Tab);
    EXPECT_EQ(Panel->KeyDowns.back().Key, VK_TAB);
    EXPECT_TRUE(Panel->Focused());

    // Not swallowed, it moves the focus on as usual.
    Panel->SetOnKeyDown(nullptr);
    Press(Qt::Key_Tab);
    EXPECT_TRUE(second->Focused());
    EXPECT_TRUE(second->KeyDowns.empty());
}

TEST_F(KeyboardTest, AKeyTheControlSawDoesNotReachItsParent) {
    auto* inner = new TRecordingPanel(Form.get());
    inner->SetParent(Panel);
    inner->SetFocus();
    Press(Qt::Key_Down);
    EXPECT_EQ(inner->KeyDowns.size(), 1u);
    EXPECT_TRUE(Panel->KeyDowns.empty());
}

class EditKeyboardTest : public ShownFormTest {
protected:
    void SetUp() override {
        ShownFormTest::SetUp();
        Edit = new TEdit(Form.get());
        Edit->SetParent(Form.get());
        Edit->SetFocus();
    }
    void Type(const char* Text) { QTest::keyClicks(Edit->Widget(), Text); }

    TEdit* Edit = nullptr;
};

TEST_F(EditKeyboardTest, KeySetToZeroIsSwallowed) {
    Edit->SetOnKeyDown([](TObject*, Word& Key, TShiftState) {
        if (Key == 'B')
            Key = 0;
    });
    Edit->SetOnKeyPress([](TObject*, char& Key) {
        if (Key == 'c')
            Key = 0;
    });
    Type("abcd");
    EXPECT_EQ(Edit->Text(), "ad");

    // Swallowing Left in KeyDown keeps the caret where it is.
    Edit->SetOnKeyDown([](TObject*, Word& Key, TShiftState) {
        if (Key == VK_LEFT)
            Key = 0;
    });
    QTest::keyClick(Edit->Widget(), Qt::Key_Left);
    EXPECT_EQ(Edit->SelStart(), 2);
}

TEST_F(EditKeyboardTest, ReplacedCharacterIsWhatTheEditGets) {
    Edit->SetOnKeyPress([](TObject*, char& Key) {
        if (Key == ',')
            Key = '.';
        else if (Key == 'x')
            Key = 'Y';
    });
    Type("1,5x");
    EXPECT_EQ(Edit->Text(), "1.5Y");
}

TEST_F(EditKeyboardTest, ControlCharactersReachKeyPressAndCanBeStopped) {
    Edit->SetText("abc");
    Edit->SelectAll();
    std::vector<char> typed;
    Edit->SetOnKeyPress([&](TObject*, char& Key) {
        typed.push_back(Key);
        if (Key == '\b')
            Key = 0;
    });
    QTest::keyClick(Edit->Widget(), Qt::Key_Backspace);
    EXPECT_EQ(Edit->Text(), "abc");
    EXPECT_EQ(typed, std::vector<char>{'\b'});
}

} // namespace
} // namespace qor::test
