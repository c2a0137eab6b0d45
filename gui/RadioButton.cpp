#include "gui/RadioButton.h"

#include "gui/ControlEvents.h"
#include "gui/ControlWidget.h"

#include <QRadioButton>

namespace qor {

TRadioButton::TRadioButton(TComponent* AOwner)
    : TWinControl(AOwner, new TControlWidget<QRadioButton>(*this)) {
    auto* button = static_cast<QRadioButton*>(Widget());
    QObject::connect(button, &QRadioButton::clicked, button,
                     [this] { TControlEvents::Click(*this); });
    SetBounds(0, 0, 113, 17);
}

std::string TRadioButton::Caption() const {
    return static_cast<QRadioButton*>(Widget())->text().toStdString();
}

void TRadioButton::SetCaption(const std::string& Value) {
    static_cast<QRadioButton*>(Widget())->setText(QString::fromStdString(Value));
}

bool TRadioButton::Checked() const {
    return static_cast<QRadioButton*>(Widget())->isChecked();
}

void TRadioButton::SetChecked(bool Value) {
    auto* button = static_cast<QRadioButton*>(Widget());
    // Qt refuses to uncheck the checked button of an exclusive set; we let the program.
    button->setAutoExclusive(Value);
    button->setChecked(Value);
    button->setAutoExclusive(true);
}

void TRadioButton::Publish(TPublisher<TRadioButton>& P) {
    P.String("Caption", &TRadioButton::Caption, &TRadioButton::SetCaption)
        .Bool("Checked", &TRadioButton::Checked, &TRadioButton::SetChecked)
        .Bool("TabStop", &TRadioButton::TabStop, &TRadioButton::SetTabStop, true);
}

} // namespace qor
