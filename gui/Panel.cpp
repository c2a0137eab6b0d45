#include "gui/Panel.h"

#include "gui/ControlWidget.h"

#include <QFrame>

namespace qor {

TPanel::TPanel(TComponent* AOwner) : TWinControl(AOwner, new TControlWidget<QFrame>(*this)) {
    SetTabStop(false);
    SetColor(clBtnFace);
    SetBevelOuter(bvRaised);
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetCaption(const std::string& Value) {
    FCaption = Value;
    Widget()->update();
}

void TPanel::SetBevelOuter(TBevelCut Value) {
    FBevelOuter = Value;
    auto* frame = static_cast<QFrame*>(Widget());
    switch (Value) {
    case bvNone:
    case bvSpace:
        frame->setFrameStyle(QFrame::NoFrame);
        break;
    case bvLowered:
        frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        break;
    case bvRaised:
        frame->setFrameStyle(QFrame::Panel | QFrame::Raised);
        break;
    }
}

void TPanel::Paint(QPainter& Canvas) {
    if (!FCaption.empty())
        Canvas.drawText(Widget()->rect(), Qt::AlignCenter, QString::fromStdString(FCaption));
}

void TPanel::Publish(TPublisher<TPanel>& P) {
    P.Enum("BevelOuter", &TPanel::BevelOuter, &TPanel::SetBevelOuter,
           {"bvNone", "bvLowered", "bvRaised", "bvSpace"}, bvRaised)
        .String("Caption", &TPanel::Caption, &TPanel::SetCaption);
    PublishColor(P, "Color", &TPanel::Color, &TPanel::SetColor, clBtnFace);
    P.Bool("TabStop", &TPanel::TabStop, &TPanel::SetTabStop, false);
}

} // namespace qor
