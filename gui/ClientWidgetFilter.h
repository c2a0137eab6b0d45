#pragma once
// Routes the key, focus and click events of a widget that is not a control widget (the
// client widget of a control, or the list of a combo box) through a control's hooks.

#include <QObject>

namespace qor {

class TWinControl;

class TClientWidgetFilter : public QObject {
public:
    // Routes Watched's events to Control. Owned by Watched. With RouteFocus false only key
    // events go through (a combo box's list takes the focus while the control keeps it).
    TClientWidgetFilter(TWinControl& Control, QObject* Watched, bool RouteFocus);

    // The control is going away: pass everything on untouched from now on.
    void Detach() { FControl = nullptr; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TWinControl* FControl;
    bool FRouteFocus;
    bool FDelivering = false;
};

} // namespace qor
