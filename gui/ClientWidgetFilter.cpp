#include "gui/ClientWidgetFilter.h"

#include "gui/ControlEvents.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace qor {

TClientWidgetFilter::TClientWidgetFilter(TWinControl& Control, QObject* Watched, bool RouteFocus)
    : QObject(Watched), FControl(&Control), FRouteFocus(RouteFocus) {
    Watched->installEventFilter(this);
}

bool TClientWidgetFilter::eventFilter(QObject* Watched, QEvent* Event) {
    if (!FControl || FDelivering)
        return false;
    switch (Event->type()) {
    case QEvent::KeyPress: {
        auto& key = static_cast<QKeyEvent&>(*Event);
        std::unique_ptr<QKeyEvent> replacement;
        switch (TControlEvents::Key(*FControl, key, replacement)) {
        case TControlEvents::TKeyResult::Swallowed:
            return true;
        case TControlEvents::TKeyResult::Replaced:
            FDelivering = true;
            QCoreApplication::sendEvent(Watched, replacement.get());
            FDelivering = false;
            return true;
        case TControlEvents::TKeyResult::Pass:
            return false;
        }
        return false;
    }
    case QEvent::FocusIn:
        if (FRouteFocus)
            TControlEvents::FocusIn(*FControl, static_cast<QFocusEvent&>(*Event));
        return false;
    case QEvent::FocusOut:
        if (FRouteFocus)
            TControlEvents::FocusOut(*FControl, static_cast<QFocusEvent&>(*Event));
        return false;
    case QEvent::MouseButtonRelease: {
        auto& mouse = static_cast<QMouseEvent&>(*Event);
        auto* widget = qobject_cast<QWidget*>(Watched);
        if (FRouteFocus && widget && mouse.button() == Qt::LeftButton &&
            widget->rect().contains(mouse.position().toPoint()))
            TControlEvents::Click(*FControl);
        return false;
    }
    default:
        return false;
    }
}

} // namespace qor
