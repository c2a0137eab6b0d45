#include "gui/ComboBox.h"

#include "gui/ClientWidgetFilter.h"
#include "gui/ControlWidget.h"
#include "gui/EventExceptions.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QItemSelectionModel>

namespace qor {

// The combo box widget tells its control when its list opens.
class TComboBoxWidget : public TControlWidget<QComboBox> {
public:
    TComboBoxWidget(TComboBox& Control) : TControlWidget<QComboBox>(Control), FCombo(&Control) {}
    void Detach() override {
        TControlWidget<QComboBox>::Detach();
        FCombo = nullptr;
    }
    void showPopup() override {
        if (FCombo)
            GuardEvent([this] { FCombo->DropDown(); });
        QComboBox::showPopup();
        // The list's own key handling is (re)installed as it opens; the control goes first.
        if (FCombo)
            FCombo->FListFilter->MoveToFront();
    }

private:
    TComboBox* FCombo;
};

TComboBox::TComboBox(TComponent* AOwner)
    : TWinControl(AOwner, new TComboBoxWidget(*this)), FItems([this] { ItemsChanged(); }) {
    QComboBox* combo = Combo();
    SetColor(clWhite);
    SetBounds(0, 0, 145, 21);
    QObject::connect(combo, &QComboBox::activated, combo, [this](int i) { UserSelected(i); });
    QObject::connect(combo, &QComboBox::highlighted, combo, [this](int i) { Highlighted(i); });
    FListFilter = RouteEventsOf(combo->view(), true);
}

TComboBox::~TComboBox() {
    // The widget outlives this part of the control: its signals must not reach it.
    QObject::disconnect(Combo(), nullptr, Combo(), nullptr);
}

QComboBox* TComboBox::Combo() const {
    return static_cast<QComboBox*>(Widget());
}

void TComboBox::ItemsChanged() {
    QComboBox* combo = Combo();
    const int index = combo->currentIndex();
    FSelecting = true;
    combo->clear();
    for (int i = 0; i < FItems.Count(); ++i)
        combo->addItem(QString::fromStdString(FItems[i]));
    combo->setCurrentIndex(index < FItems.Count() ? index : -1);
    FSelecting = false;
    FLastIndex = combo->currentIndex();
}

int TComboBox::ItemIndex() const {
    return Combo()->currentIndex();
}

void TComboBox::SetItemIndex(int Value) {
    if (ComponentState().Contains(csLoading))
        FLoadedIndex = Value; // the items may not be there yet
    if (Value < -1 || Value >= FItems.Count())
        Value = -1;
    QComboBox* combo = Combo();
    FSelecting = true;
    combo->setCurrentIndex(Value);
    if (DroppedDown())
        combo->view()->setCurrentIndex(combo->model()->index(Value, 0));
    FSelecting = false;
    FLastIndex = Value;
}

void TComboBox::Loaded() {
    TWinControl::Loaded();
    if (FLoadedIndex >= 0)
        SetItemIndex(FLoadedIndex);
}

std::string TComboBox::Text() const {
    return Combo()->currentText().toStdString();
}

bool TComboBox::DroppedDown() const {
    return Combo()->view()->isVisible();
}

void TComboBox::SetDroppedDown(bool Value) {
    if (Value == DroppedDown())
        return;
    if (Value) {
        if (Showing())
            Combo()->showPopup();
    } else {
        // With a selection in the list Qt flashes it and closes the list later; without
        // one it closes at once, so DroppedDown reads false on return. The selection
        // itself is kept in ItemIndex.
        if (QItemSelectionModel* selection = Combo()->view()->selectionModel())
            selection->clearSelection();
        Combo()->hidePopup();
    }
}

void TComboBox::UserSelected(int Index) {
    if (FSelecting || Index == FLastIndex)
        return;
    FLastIndex = Index;
    GuardEvent([this] { Change(); });
}

void TComboBox::Highlighted(int Index) {
    // Moving through the open list selects as it goes.
    if (FSelecting || !DroppedDown() || Index == FLastIndex)
        return;
    FSelecting = true;
    Combo()->setCurrentIndex(Index);
    FSelecting = false;
    UserSelected(Index);
}

void TComboBox::Change() {
    if (FOnChange)
        FOnChange(this);
}

void TComboBox::DropDown() {
    if (FOnDropDown)
        FOnDropDown(this);
}

void TComboBox::Publish(TPublisher<TComboBox>& P) {
    PublishColor(P, "Color", &TComboBox::Color, &TComboBox::SetColor, clWhite);
    P.Object("Items", &TComboBox::Items)
        .Integer("ItemIndex", &TComboBox::ItemIndex, &TComboBox::SetItemIndex, -1)
        .Bool("TabStop", &TComboBox::TabStop, &TComboBox::SetTabStop, true);
}

} // namespace qor
