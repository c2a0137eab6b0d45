#pragma once
// A drop-down list worked from the keyboard alone.
//
// Enter opens and closes the list, and closing confirms the selection; Esc closes the
// open list and returns to the last confirmed item; Up and Down wrap around inside the
// open list and move the focus along the frame's chain while it is closed; a selection
// changed while the list is closed counts as confirmed at once. Typed characters reach
// OnKeyPress but never the list itself.

#include "controls/FramedControl.h"
#include "gui/ComboBox.h"

namespace qor {

class TKeyComboBox : public TFramedControl<TComboBox> {
public:
    // The registered ancestor; the frame in between adds no class of its own.
    using inherited = TComboBox;

    explicit TKeyComboBox(TComponent* AOwner);

    // Stored with the form; the control's behaviour does not depend on it.
    bool MoveFocus() const { return FMoveFocus; }
    void SetMoveFocus(bool Value) { FMoveFocus = Value; }

    // The item Esc returns to: taken on entering, on every Enter that closes the list and
    // on every change made while it is closed. 0 at creation.
    int SavedIndex() const { return FSavedIndex; }
    // The control's own record of whether the list is open. Opening sets it; the list
    // closing by itself (a click outside or on an item) does not clear it.
    bool DropState() const { return FDropState; }

    static void Publish(TPublisher<TKeyComboBox>& P);

protected:
    void KeyPress(char& Key) override;
    void KeyDown(Word& Key, TShiftState Shift) override;
    void DoEnter() override;
    void DoExit() override;
    void Change() override;
    // Records that the list opens; OnDropDown is not raised.
    void DropDown() override;

private:
    // The table of KeyDown for the open and the closed list.
    void OpenListKey(Word& Key);
    void ClosedListKey(Word& Key);

    bool FMoveFocus = true;
    int FSavedIndex = 0;
    bool FDropState = false;
};

} // namespace qor
