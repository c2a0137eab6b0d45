#pragma once
// A single-line text edit.

#include "gui/WinControl.h"

#include <string>

class QLineEdit;

namespace qor {

class TEdit : public TWinControl {
public:
    using inherited = TWinControl;

    explicit TEdit(TComponent* AOwner);

    std::string Text() const;
    void SetText(const std::string& Value);

    // Caret position, or the start of the selection (0 = before the first character).
    int SelStart() const;
    // Moves the caret and clears the selection.
    void SetSelStart(int Value);
    int SelLength() const;
    // Selects Value characters from SelStart.
    void SetSelLength(int Value);
    std::string SelText() const;
    // Replaces the selection (or inserts at the caret).
    void SetSelText(const std::string& Value);
    void SelectAll();

    bool ReadOnly() const;
    void SetReadOnly(bool Value);

    // Raised whenever the text changes, by the user or by the program.
    void SetOnChange(TNotifyEvent Handler) { FOnChange = std::move(Handler); }

    static void Publish(TPublisher<TEdit>& P);

protected:
    // The text changed; calls OnChange.
    virtual void Change();

private:
    QLineEdit* LineEdit() const;

    TNotifyEvent FOnChange;
};

} // namespace qor
