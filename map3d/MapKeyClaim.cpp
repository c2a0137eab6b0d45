#include "map3d/MapKeyClaim.h"

#include <QKeyEvent>
#include <QWidget>
#include <string_view>

namespace qor {

TMapKeyClaim::TMapKeyClaim(QWidget* Widget) {
    Widget->installEventFilter(this);
}

bool TMapKeyClaim::IsViewKey(int QtKey, Qt::KeyboardModifiers Modifiers) {
    const bool ctrlOrAlt = Modifiers & (Qt::ControlModifier | Qt::AltModifier);
    switch (QtKey) {
    case Qt::Key_Left:
    case Qt::Key_Up:
    case Qt::Key_Right:
    case Qt::Key_Down:
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return !ctrlOrAlt;
    case Qt::Key_B:
        return (Modifiers & Qt::ControlModifier) && !(Modifiers & Qt::AltModifier);
    default:
        break;
    }
    constexpr std::string_view CameraLetters = "WADSRZXCV";
    const bool letter = QtKey >= Qt::Key_A && QtKey <= Qt::Key_Z &&
                        CameraLetters.find(static_cast<char>(QtKey)) != std::string_view::npos;
    return letter && !ctrlOrAlt && !(Modifiers & Qt::ShiftModifier);
}

bool TMapKeyClaim::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(Event);
        if (IsViewKey(key->key(), key->modifiers())) {
            key->accept();
            return true;
        }
    }
    return QObject::eventFilter(Watched, Event);
}

} // namespace qor
