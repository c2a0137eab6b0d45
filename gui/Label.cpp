#include "gui/Label.h"

#include "gui/ControlWidget.h"

#include <QLabel>

namespace qor {

TLabel::TLabel(TComponent* AOwner) : TWinControl(AOwner, new TControlWidget<QLabel>(*this)) {
    SetFocusable(false);
    FFont.SetOnChange([this] {
        FFont.ApplyTo(*Widget());
        AdjustSize();
    });
    FFont.ApplyTo(*Widget());
    ApplyAlignment();
    SetBounds(0, 0, 65, 17);
}

QLabel* TLabel::LabelWidget() const {
    return static_cast<QLabel*>(Widget());
}

std::string TLabel::Caption() const {
    return LabelWidget()->text().toStdString();
}

void TLabel::SetCaption(const std::string& Value) {
    LabelWidget()->setText(QString::fromStdString(Value));
    AdjustSize();
}

void TLabel::SetLayout(TTextLayout Value) {
    FLayout = Value;
    ApplyAlignment();
}

void TLabel::SetAlignment(TAlignment Value) {
    FAlignment = Value;
    ApplyAlignment();
}

void TLabel::SetAutoSize(bool Value) {
    FAutoSize = Value;
    AdjustSize();
}

void TLabel::ApplyAlignment() {
    const Qt::Alignment vertical = FLayout == tlTop      ? Qt::AlignTop
                                   : FLayout == tlCenter ? Qt::AlignVCenter
                                                         : Qt::AlignBottom;
    const Qt::Alignment horizontal = FAlignment == taLeftJustify    ? Qt::AlignLeft
                                     : FAlignment == taRightJustify ? Qt::AlignRight
                                                                    : Qt::AlignHCenter;
    LabelWidget()->setAlignment(vertical | horizontal);
}

void TLabel::AdjustSize() {
    if (!FAutoSize)
        return;
    const QSize size = LabelWidget()->sizeHint();
    SetBounds(Left(), Top(), size.width(), size.height());
}

void TLabel::Publish(TPublisher<TLabel>& P) {
    P.Enum("Alignment", &TLabel::Alignment, &TLabel::SetAlignment,
           {"taLeftJustify", "taRightJustify", "taCenter"})
        .Bool("AutoSize", &TLabel::AutoSize, &TLabel::SetAutoSize, true)
        .String("Caption", &TLabel::Caption, &TLabel::SetCaption)
        .Object("Font", &TLabel::Font)
        .Enum("Layout", &TLabel::Layout, &TLabel::SetLayout, {"tlTop", "tlCenter", "tlBottom"});
}

} // namespace qor
