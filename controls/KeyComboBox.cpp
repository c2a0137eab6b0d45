#include "controls/KeyComboBox.h"

namespace qor {

namespace {

constexpr char KeyEnter = 13;

} // namespace

TKeyComboBox::TKeyComboBox(TComponent* AOwner) : TFramedControl<TComboBox>(AOwner) {}

void TKeyComboBox::DoEnter() {
    FDropState = false;
    FSavedIndex = ItemIndex();
    TFramedControl<TComboBox>::DoEnter();
}

void TKeyComboBox::DoExit() {
    SetDroppedDown(false);
    TFramedControl<TComboBox>::DoExit();
}

void TKeyComboBox::DropDown() {
    FDropState = true;
}

void TKeyComboBox::KeyPress(char& Key) {
    if (Key == KeyEnter) {
        const bool wasOpen = FDropState;
        SetDroppedDown(!wasOpen);
        if (wasOpen)
            FSavedIndex = ItemIndex();
    }
    TFramedControl<TComboBox>::KeyPress(Key);
    FDropState = DroppedDown();
    Key = 0; // no typed character reaches the list itself
}

void TKeyComboBox::Change() {
    TFramedControl<TComboBox>::Change();
    if (!DroppedDown()) {
        // A change made on the closed list is confirmed as an Enter would.
        FDropState = true;
        char enter = KeyEnter;
        KeyPress(enter);
    }
}

void TKeyComboBox::OpenListKey(Word& Key) {
    const int last = Items()->Count() - 1;
    switch (Key) {
    case VK_ESCAPE:
        SetDroppedDown(false);
        FDropState = false;
        SetItemIndex(FSavedIndex);
        Key = 0;
        break;
    case VK_LEFT:
    case VK_RIGHT:
        Key = 0;
        break;
    case VK_UP:
        if (ItemIndex() == 0) {
            SetItemIndex(last);
            Key = 0;
        }
        break;
    case VK_DOWN:
        if (ItemIndex() == last) {
            SetItemIndex(0);
            Key = 0;
        }
        break;
    default:
        break;
    }
}

void TKeyComboBox::ClosedListKey(Word& Key) {
    if (MoveFocusOnArrow(Key))
        return;
    if (Key == VK_PRIOR || Key == VK_NEXT || Key == VK_LEFT || Key == VK_RIGHT)
        Key = 0;
}

void TKeyComboBox::KeyDown(Word& Key, TShiftState Shift) {
    if (DroppedDown())
        OpenListKey(Key);
    else
        ClosedListKey(Key);
    TFramedControl<TComboBox>::KeyDown(Key, Shift);
}

void TKeyComboBox::Publish(TPublisher<TKeyComboBox>& P) {
    PublishFrameTags(P);
    P.Bool("MoveFocus", &TKeyComboBox::MoveFocus, &TKeyComboBox::SetMoveFocus, true);
    PublishFrameLinks(P);
}

} // namespace qor
