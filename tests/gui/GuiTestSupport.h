#pragma once
// Helpers for widget tests: a shown, active form to put controls on, keys typed through
// its window, form files of the test's data folder, and a control that records what its
// key and focus hooks receive.

#include "gui/Form.h"
#include "gui/Panel.h"

#include <QApplication>
#include <QTest>
#include <QWindow>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace qor::test {

// The text of a file in the test program's data folder.
inline std::string ReadTestFile(const std::string& Name) {
    std::ifstream in(std::string(QOR_TEST_DATA_DIR) + "/" + Name, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The component of that name owned by Root, of class T (a test failure when there is none).
template <class T> T* Find(TComponent& Root, const char* Name) {
    auto* c = dynamic_cast<T*>(Root.FindComponent(Name));
    EXPECT_NE(c, nullptr) << Name;
    return c;
}

// A form that is shown and active, so that focus and keys behave as on a desktop.
class ShownFormTest : public testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(50, 50, FormWidth, FormHeight);
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Widget()));
    }
    void TearDown() override { Form.reset(); }

    // Creates a control of class T on Parent (the form when null), owned by the form.
    template <class T> T* Add(const char* Name, TWinControl* Parent = nullptr) {
        auto* c = new T(Form.get());
        c->SetName(Name);
        c->SetParent(Parent ? Parent : Form.get());
        return c;
    }

    // Keys go to the window, which hands them on as the platform does: to an open drop-down
    // list when there is one, else to the focused control.
    QWindow* Window() const { return Form->Widget()->windowHandle(); }
    void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
        QTest::keyClick(Window(), Key, Modifiers);
    }

    int FormWidth = 400; // set by a fixture's constructor for another size
    int FormHeight = 300;
    std::unique_ptr<TForm> Form;
};

// A panel that takes the focus and records its hooks.
class TRecordingPanel : public TPanel {
public:
    struct KeyDownCall {
        Word Key;
        TShiftState Shift;
    };

    explicit TRecordingPanel(TComponent* AOwner) : TPanel(AOwner) { SetTabStop(true); }

    std::vector<KeyDownCall> KeyDowns;
    std::vector<char> KeyPresses;
    std::vector<std::string> Log; // "enter X", "exit X"

protected:
    void KeyDown(Word& Key, TShiftState Shift) override {
        KeyDowns.push_back({Key, Shift});
        TPanel::KeyDown(Key, Shift);
    }
    void KeyPress(char& Key) override {
        KeyPresses.push_back(Key);
        TPanel::KeyPress(Key);
    }
    void DoEnter() override {
        Log.push_back("enter " + Name());
        TPanel::DoEnter();
    }
    void DoExit() override {
        Log.push_back("exit " + Name());
        TPanel::DoExit();
    }
};

} // namespace qor::test
