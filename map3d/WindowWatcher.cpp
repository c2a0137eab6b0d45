#include "map3d/WindowWatcher.h"

#include <QEvent>
#include <QWidget>

namespace qor {

TWindowWatcher::TWindowWatcher(QWidget* Widget, TControl& Control) : FControl(Control) {
    Widget->installEventFilter(this);
}

bool TWindowWatcher::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::Show && !FSent) {
        FSent = true;
        FControl.Perform(WM_CREATE, 0, 0);
    }
    return QObject::eventFilter(Watched, Event);
}

} // namespace qor
