#pragma once
// The widget tests' shown form (tests/gui/GuiTestSupport.h), larger for skins and labels,
// with text typed through its window a key per character.

#include "tests/gui/GuiTestSupport.h"

#include <string>

namespace qor::test {

class EditFormTest : public ShownFormTest {
protected:
    EditFormTest() {
        FormWidth = 480;
        FormHeight = 320;
    }

    void Type(const std::string& Text) {
        for (char ch : Text)
            QTest::keyClick(Window(), ch);
    }
};

} // namespace qor::test
