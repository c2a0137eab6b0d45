#pragma once
// Keeps the map view's keys away from the window's shortcuts: while the view's widget has
// the focus, a key the view acts on is claimed when Qt asks whether it is a shortcut, so
// that it arrives at the view as a key press. Arrow keys reach the view in any case (Qt
// moves the focus only with Tab); Tab stays with the focus chain.

#include <QObject>

class QWidget;

namespace qor {

class TMapKeyClaim : public QObject {
public:
    explicit TMapKeyClaim(QWidget* Widget);

    // Arrows with any modifiers, Enter without Ctrl and Alt, the camera letters without
    // Ctrl and Alt, and Ctrl+B.
    static bool IsViewKey(int QtKey, Qt::KeyboardModifiers Modifiers);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
};

} // namespace qor
