#pragma once
// Routes the key, focus and click events of a widget that is not a control widget (the
// client widget of a control, or the list of a combo box) through a control's hooks.

#include <QObject>

namespace qor {

class TWinControl;

class TClientWidgetFilter : public QObject {
public:
    enum TRouting {
        rtAll,  // keys, focus and clicks
        rtList, // keys only, of a drop-down list (its control keeps the focus)
    };

    // Routes Watched's events to Control. Owned by Watched.
    TClientWidgetFilter(TWinControl& Control, QObject* Watched, TRouting Routing);

    // Lets this filter see the events before filters installed after it (Qt asks the
    // last installed filter first).
    void MoveToFront();

    // The control is going away: pass everything on untouched from now on.
    void Detach() { FControl = nullptr; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    TWinControl* FControl;
    bool ListKey(QObject* Watched, QEvent* Event);

    TRouting FRouting;
    bool FDelivering = false;
};

} // namespace qor
