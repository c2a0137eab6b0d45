#include "gui/Edit.h"

#include "gui/ControlWidget.h"
#include "gui/EventExceptions.h"

#include <QLineEdit>

namespace qor {

TEdit::TEdit(TComponent* AOwner) : TWinControl(AOwner, new TControlWidget<QLineEdit>(*this)) {
    SetColor(clWhite);
    SetBounds(0, 0, 121, 21);
    QObject::connect(LineEdit(), &QLineEdit::textChanged, LineEdit(),
                     [this] { GuardEvent([this] { Change(); }); });
}

QLineEdit* TEdit::LineEdit() const {
    return static_cast<QLineEdit*>(Widget());
}

std::string TEdit::Text() const {
    return LineEdit()->text().toStdString();
}

void TEdit::SetText(const std::string& Value) {
    LineEdit()->setText(QString::fromStdString(Value));
}

int TEdit::SelStart() const {
    return LineEdit()->hasSelectedText() ? LineEdit()->selectionStart()
                                         : LineEdit()->cursorPosition();
}

void TEdit::SetSelStart(int Value) {
    LineEdit()->setCursorPosition(Value);
}

int TEdit::SelLength() const {
    return LineEdit()->selectionLength();
}

void TEdit::SetSelLength(int Value) {
    LineEdit()->setSelection(SelStart(), Value);
}

std::string TEdit::SelText() const {
    return LineEdit()->selectedText().toStdString();
}

void TEdit::SetSelText(const std::string& Value) {
    LineEdit()->insert(QString::fromStdString(Value));
}

void TEdit::SelectAll() {
    LineEdit()->selectAll();
}

bool TEdit::ReadOnly() const {
    return LineEdit()->isReadOnly();
}

void TEdit::SetReadOnly(bool Value) {
    LineEdit()->setReadOnly(Value);
}

void TEdit::Change() {
    if (FOnChange)
        FOnChange(this);
}

void TEdit::Publish(TPublisher<TEdit>& P) {
    PublishColor(P, "Color", &TEdit::Color, &TEdit::SetColor, clWhite);
    P.Bool("ReadOnly", &TEdit::ReadOnly, &TEdit::SetReadOnly)
        .Bool("TabStop", &TEdit::TabStop, &TEdit::SetTabStop, true)
        .String("Text", &TEdit::Text, &TEdit::SetText);
}

} // namespace qor
