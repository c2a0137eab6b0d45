#pragma once
// A drop-down list to pick one of its items from.
//
// While the list is open its key events still go to the control's KeyDown and KeyPress
// first, and moving through the open list changes ItemIndex at once (Change is called),
// so the control always knows the item under the highlight.

#include "gui/ItemStrings.h"
#include "gui/WinControl.h"

#include <string>

class QComboBox;

namespace qor {

class TComboBox : public TWinControl {
public:
    using inherited = TWinControl;

    explicit TComboBox(TComponent* AOwner);
    ~TComboBox() override;

    TStrings* Items() { return &FItems; }
    // -1 when no item is selected. Setting it from the program does not call Change.
    int ItemIndex() const;
    void SetItemIndex(int Value);
    // The text of the selected item.
    std::string Text() const;

    // True while the list is open; setting it opens or closes the list.
    bool DroppedDown() const;
    void SetDroppedDown(bool Value);

    void SetOnChange(TNotifyEvent Handler) { FOnChange = std::move(Handler); }
    void SetOnDropDown(TNotifyEvent Handler) { FOnDropDown = std::move(Handler); }

    void Loaded() override;

    static void Publish(TPublisher<TComboBox>& P);

protected:
    // The user changed the selection; calls OnChange.
    virtual void Change();
    // The list is about to open, by the user or by DroppedDown; calls OnDropDown.
    virtual void DropDown();

private:
    friend class TComboBoxWidget;

    QComboBox* Combo() const;
    void ItemsChanged();
    void UserSelected(int Index);
    void Highlighted(int Index);

    TItemStrings FItems;
    TClientWidgetFilter* FListFilter = nullptr; // owned by the list
    int FLastIndex = -1;
    int FLoadedIndex = -1;
    bool FSelecting = false;
    TNotifyEvent FOnChange;
    TNotifyEvent FOnDropDown;
};

} // namespace qor
