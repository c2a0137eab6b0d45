#pragma once
// A push button. "&" in the caption marks the accelerator letter (Alt with that letter
// clicks it); "&&" shows an ampersand.

#include "gui/WinControl.h"

#include <string>

namespace qor {

class TButton : public TWinControl {
public:
    using inherited = TWinControl;

    explicit TButton(TComponent* AOwner);

    std::string Caption() const;
    void SetCaption(const std::string& Value);

    // Clicks the button from the program: OnClick runs as for a user's click.
    void ClickButton();

    static void Publish(TPublisher<TButton>& P);
};

} // namespace qor
