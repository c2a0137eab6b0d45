#include "map3d/MapModPanel.h"

namespace qor {

namespace {

// A child control of Panel, owned by it, at (Left, Top) in its default size.
template <class T> T* AddChild(TMapModPanel& Panel, int Left, int Top) {
    auto* child = new T(&Panel);
    child->SetParent(&Panel);
    child->SetBounds(Left, Top, child->Width(), child->Height());
    return child;
}

TRadioButton* AddRadio(TMapModPanel& Panel, const char* Caption, int Left, int Top) {
    auto* button = AddChild<TRadioButton>(Panel, Left, Top);
    button->SetCaption(Caption);
    return button;
}

TButton* AddButton(TMapModPanel& Panel, const char* Caption, int Left) {
    auto* button = AddChild<TButton>(Panel, Left, 100);
    button->SetBounds(Left, 100, 80, 40);
    button->SetCaption(Caption);
    return button;
}

} // namespace

TMapModPanel::TMapModPanel(TComponent* AOwner) : TPanel(AOwner) {
    SetVisible(false);
    SetBounds(0, 0, PanelWidth, PanelHeight);
    FAbsolute = AddRadio(*this, "Assoluta", 10, 10);
    FRelative = AddRadio(*this, "Relativa", 10, 30);
    FPercent = AddRadio(*this, "Percentuale", 100, 10);
    FAbsolute->SetChecked(true);
    FValueEdit = AddChild<TNumericEdit>(*this, 50, 60);
    FValueEdit->SetValidation(false);
    FOk = AddButton(*this, "&Ok", 10);
    FCancel = AddButton(*this, "&Annulla", 110);
}

TModificationMode TMapModPanel::Mode() const {
    if (FAbsolute->Checked())
        return TModificationMode::Absolute;
    if (FRelative->Checked())
        return TModificationMode::Relative;
    return TModificationMode::Percent;
}

} // namespace qor
