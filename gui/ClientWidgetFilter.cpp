#include "gui/ClientWidgetFilter.h"

#include "gui/ControlEvents.h"

#include <QCoreApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

namespace qor {

namespace {

// Keys a drop-down list acts on while they are still shortcut candidates (Enter selects
// and closes, F4, Alt+Down and Esc close), before any key press is sent.
bool IsListShortcut(const QKeyEvent& Key) {
    switch (Key.key()) {
    case Qt::Key_Enter:
    case Qt::Key_Return:
    case Qt::Key_F4:
    case Qt::Key_Escape:
        return true;
    case Qt::Key_Down:
        return Key.modifiers() & Qt::AltModifier;
    default:
        return false;
    }
}

} // namespace

TClientWidgetFilter::TClientWidgetFilter(TWinControl& Control, QObject* Watched, TRouting Routing)
    : QObject(Watched), FControl(&Control), FRouting(Routing) {
    Watched->installEventFilter(this);
}

void TClientWidgetFilter::MoveToFront() {
    parent()->installEventFilter(this);
}

// A list would act on its shortcut keys before the control saw them. So they are kept
// key presses; the control sees each, and one it does not swallow goes to the list the
// way the list expects it.
bool TClientWidgetFilter::ListKey(QObject* Watched, QEvent* Event) {
    auto& key = static_cast<QKeyEvent&>(*Event);
    if (Event->type() == QEvent::ShortcutOverride) {
        if (!IsListShortcut(key))
            return false;
        key.accept(); // not a shortcut: a key press follows
        return true;
    }
    std::unique_ptr<QKeyEvent> replacement;
    const TControlEvents::TKeyResult result = TControlEvents::Key(*FControl, key, replacement);
    if (result == TControlEvents::TKeyResult::Swallowed)
        return true;
    const QKeyEvent& deliver = result == TControlEvents::TKeyResult::Replaced ? *replacement : key;
    FDelivering = true;
    if (IsListShortcut(deliver)) {
        QKeyEvent asShortcut(QEvent::ShortcutOverride, deliver.key(), deliver.modifiers(),
                             deliver.text());
        QCoreApplication::sendEvent(Watched, &asShortcut);
    } else if (&deliver != &key) {
        QKeyEvent copy(QEvent::KeyPress, deliver.key(), deliver.modifiers(), deliver.text());
        QCoreApplication::sendEvent(Watched, &copy);
    }
    FDelivering = false;
    return &deliver != &key || IsListShortcut(deliver);
}

bool TClientWidgetFilter::eventFilter(QObject* Watched, QEvent* Event) {
    if (!FControl || FDelivering)
        return false;
    if (FRouting == rtList) {
        if (Event->type() == QEvent::KeyPress || Event->type() == QEvent::ShortcutOverride)
            return ListKey(Watched, Event);
        return false;
    }
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
        TControlEvents::FocusIn(*FControl, static_cast<QFocusEvent&>(*Event));
        return false;
    case QEvent::FocusOut:
        TControlEvents::FocusOut(*FControl, static_cast<QFocusEvent&>(*Event));
        return false;
    case QEvent::MouseButtonRelease: {
        auto& mouse = static_cast<QMouseEvent&>(*Event);
        auto* widget = qobject_cast<QWidget*>(Watched);
        if (widget && mouse.button() == Qt::LeftButton &&
            widget->rect().contains(mouse.position().toPoint()))
            TControlEvents::Click(*FControl);
        return false;
    }
    default:
        return false;
    }
}

} // namespace qor
