#pragma once
// A shown, active form to put edit controls on, and keys typed through the window as the
// platform delivers them: to an open drop-down list when there is one, else to the
// focused control.

#include "gui/Form.h"

#include <QTest>
#include <QWindow>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace qor::test {

class ShownFormTest : public testing::Test {
protected:
    void SetUp() override {
        Form = std::make_unique<TForm>(nullptr);
        Form->SetBounds(50, 50, 480, 320);
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

    QWindow* Window() const { return Form->Widget()->windowHandle(); }
    void Press(Qt::Key Key, Qt::KeyboardModifiers Modifiers = Qt::NoModifier) {
        QTest::keyClick(Window(), Key, Modifiers);
    }
    // Types each character as a key of its own.
    void Type(const std::string& Text) {
        for (char ch : Text)
            QTest::keyClick(Window(), ch);
    }

    std::unique_ptr<TForm> Form;
};

} // namespace qor::test
