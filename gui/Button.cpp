#include "gui/Button.h"

#include "gui/ControlEvents.h"
#include "gui/ControlWidget.h"

#include <QPushButton>

namespace qor {

TButton::TButton(TComponent* AOwner) : TWinControl(AOwner, new TControlWidget<QPushButton>(*this)) {
    auto* button = static_cast<QPushButton*>(Widget());
    button->setAutoDefault(false);
    QObject::connect(button, &QPushButton::clicked, button,
                     [this] { TControlEvents::Click(*this); });
    SetBounds(0, 0, 75, 25);
}

std::string TButton::Caption() const {
    return static_cast<QPushButton*>(Widget())->text().toStdString();
}

void TButton::SetCaption(const std::string& Value) {
    // Qt marks accelerators with "&" as well.
    static_cast<QPushButton*>(Widget())->setText(QString::fromStdString(Value));
}

void TButton::ClickButton() {
    static_cast<QPushButton*>(Widget())->click();
}

void TButton::Publish(TPublisher<TButton>& P) {
    P.String("Caption", &TButton::Caption, &TButton::SetCaption)
        .Bool("TabStop", &TButton::TabStop, &TButton::SetTabStop, true);
}

} // namespace qor
