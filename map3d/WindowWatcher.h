#pragma once
// Tells a control once that its window has come into being on screen: when its widget is
// shown for the first time, the control gets WM_CREATE.

#include "framework/Control.h"

#include <QObject>

class QWidget;

namespace qor {

// The window message sent when a control's window has been created.
constexpr unsigned WM_CREATE = 0x0001;

class TWindowWatcher : public QObject {
public:
    TWindowWatcher(QWidget* Widget, TControl& Control);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TControl& FControl;
    bool FSent = false;
};

} // namespace qor
