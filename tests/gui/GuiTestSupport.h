#pragma once
// Helpers for widget tests: a shown, active form to put controls on, and a control that
// records what its key and focus hooks receive.

#include "gui/Form.h"
#include "gui/Panel.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qor::test {

// A form that is shown and active, so that focus and keys behave as on a desktop.
class ShownFormTest : public testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(50, 50, 400, 300);
        Form->Show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form->Widget()));
    }
    void TearDown() override { Form.reset(); }

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
