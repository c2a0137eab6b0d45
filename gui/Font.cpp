#include "gui/Font.h"

#include <QWidget>

namespace qor {

void TFont::SetColor(TColor Value) {
    FColor = Value;
    Changed();
}

void TFont::SetSize(int Value) {
    FSize = Value;
    Changed();
}

void TFont::SetName(const std::string& Value) {
    FName = Value;
    Changed();
}

void TFont::Changed() {
    if (FOnChange)
        FOnChange();
}

void TFont::ApplyTo(QWidget& Widget) const {
    QPalette palette = Widget.palette();
    palette.setColor(QPalette::WindowText, ColorToQColor(FColor));
    palette.setColor(QPalette::Text, ColorToQColor(FColor));
    palette.setColor(QPalette::ButtonText, ColorToQColor(FColor));
    Widget.setPalette(palette);
    QFont font = Widget.font();
    if (!FName.empty())
        font.setFamily(QString::fromStdString(FName));
    if (FSize > 0)
        font.setPointSize(FSize);
    Widget.setFont(font);
}

void TFont::Publish(TPublisher<TFont>& P) {
    PublishColor(P, "Color", &TFont::Color, &TFont::SetColor, clBlack);
    P.String("Name", &TFont::Name, &TFont::SetName).Integer("Size", &TFont::Size, &TFont::SetSize);
}

} // namespace qor
