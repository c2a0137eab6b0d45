#pragma once
// A form: a top-level window that owns its components and can be read from a form file,
// whose nested objects become its child controls.

#include "gui/WinControl.h"

#include <string>
#include <string_view>

namespace qor {

class TForm : public TWinControl {
public:
    using inherited = TWinControl;

    // Hidden until shown.
    explicit TForm(TComponent* AOwner);

    const std::string& Caption() const { return FCaption; }
    void SetCaption(const std::string& Value);

    // The control that gets the focus when the form is shown.
    TWinControl* ActiveControl() const { return FActiveControl; }
    void SetActiveControl(TWinControl* Value);

    // Shows and activates the window and focuses ActiveControl.
    void Show();
    void Close() { Hide(); }

    // Reads the form's properties and components from form text (see FormStreaming.h).
    void LoadFromText(std::string_view Text);

    static void Publish(TPublisher<TForm>& P);

protected:
    bool IsWindow() const override { return true; }
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::string FCaption;
    TWinControl* FActiveControl = nullptr;
};

} // namespace qor
