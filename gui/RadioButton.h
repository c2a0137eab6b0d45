#pragma once
// A radio button. Checking one unchecks the other radio buttons of the same parent.

#include "gui/WinControl.h"

#include <string>

namespace qor {

class TRadioButton : public TWinControl {
public:
    using inherited = TWinControl;

    explicit TRadioButton(TComponent* AOwner);

    std::string Caption() const;
    void SetCaption(const std::string& Value);
    bool Checked() const;
    void SetChecked(bool Value);

    static void Publish(TPublisher<TRadioButton>& P);
};

} // namespace qor
