#include "gui/Form.h"

#include "framework/FormStreaming.h"
#include "gui/ControlWidget.h"

namespace qor {

TForm::TForm(TComponent* AOwner) : TWinControl(AOwner, new TControlWidget<QWidget>(*this)) {
    Widget()->setWindowFlags(Qt::Window);
    SetVisible(false);
    SetColor(clBtnFace);
    SetBounds(0, 0, 640, 480);
}

void TForm::SetCaption(const std::string& Value) {
    FCaption = Value;
    Widget()->setWindowTitle(QString::fromStdString(Value));
}

void TForm::SetActiveControl(TWinControl* Value) {
    if (Value == FActiveControl)
        return;
    if (FActiveControl)
        FActiveControl->RemoveFreeNotification(this);
    FActiveControl = Value;
    if (FActiveControl) {
        FActiveControl->FreeNotification(this);
        if (Showing() && FActiveControl->CanFocus())
            FActiveControl->SetFocus();
    }
}

void TForm::Show() {
    SetVisible(true);
    Widget()->activateWindow();
    if (FActiveControl && FActiveControl->CanFocus())
        FActiveControl->SetFocus();
}

void TForm::LoadFromText(std::string_view Text) {
    ReadComponentTextInto(*this, Text);
}

void TForm::Notification(TComponent* AComponent, TOperation Operation) {
    TWinControl::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FActiveControl)
        FActiveControl = nullptr;
}

void TForm::Publish(TPublisher<TForm>& P) {
    P.Component<TWinControl>("ActiveControl", &TForm::ActiveControl, &TForm::SetActiveControl)
        .String("Caption", &TForm::Caption, &TForm::SetCaption)
        .Bool("Visible", &TForm::Visible, &TForm::SetVisible, false);
    PublishColor(P, "Color", &TForm::Color, &TForm::SetColor, clBtnFace);
}

} // namespace qor
