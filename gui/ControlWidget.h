#pragma once
// A Qt widget class QtBase that hands its events to a framework control.

#include "gui/ControlEvents.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <memory>
#include <type_traits>

namespace qor {

class TWinControl;

// The link from a control widget back to its control.
class IControlWidget {
public:
    virtual ~IControlWidget() = default;
    // The control calls this before it deletes the widget, so that nothing reaches a
    // control that is half destroyed.
    virtual void Detach() = 0;
};

template <class QtBase> class TControlWidget : public QtBase, public IControlWidget {
public:
    explicit TControlWidget(TWinControl& Control) : FControl(&Control) {}

    void Detach() override { FControl = nullptr; }

protected:
    bool event(QEvent* E) override {
        if (FControl && E->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(E);
            if (TControlEvents::IsFocusKey(*key)) {
                std::unique_ptr<QKeyEvent> replacement;
                if (TControlEvents::Key(*FControl, *key, replacement) ==
                    TControlEvents::TKeyResult::Swallowed)
                    return true;
            }
        }
        return QtBase::event(E);
    }

    void keyPressEvent(QKeyEvent* E) override {
        if (!FControl)
            return QtBase::keyPressEvent(E);
        // A key that a client widget inside the control ignored travels up to here; the
        // control saw it already, through the client widget.
        QWidget* focus = QApplication::focusWidget();
        if (focus && focus != this && this->isAncestorOf(focus)) {
            E->accept();
            return;
        }
        std::unique_ptr<QKeyEvent> replacement;
        switch (TControlEvents::Key(*FControl, *E, replacement)) {
        case TControlEvents::TKeyResult::Swallowed:
            break;
        case TControlEvents::TKeyResult::Replaced:
            QtBase::keyPressEvent(replacement.get());
            break;
        case TControlEvents::TKeyResult::Pass:
            QtBase::keyPressEvent(E);
            break;
        }
        // A key the control saw is its own: it must not travel on to the parent control.
        E->accept();
    }

    void focusInEvent(QFocusEvent* E) override {
        QtBase::focusInEvent(E);
        if (FControl)
            TControlEvents::FocusIn(*FControl, *E);
    }

    void focusOutEvent(QFocusEvent* E) override {
        QtBase::focusOutEvent(E);
        if (FControl)
            TControlEvents::FocusOut(*FControl, *E);
    }

    void mouseReleaseEvent(QMouseEvent* E) override {
        QtBase::mouseReleaseEvent(E);
        // Buttons report clicks through their clicked signal instead.
        if constexpr (!std::is_base_of_v<QAbstractButton, QtBase>) {
            if (FControl && E->button() == Qt::LeftButton &&
                this->rect().contains(E->position().toPoint()))
                TControlEvents::Click(*FControl);
        }
    }

    void paintEvent(QPaintEvent* E) override {
        QtBase::paintEvent(E);
        if (FControl) {
            QPainter painter(this);
            TControlEvents::Paint(*FControl, painter);
        }
    }

    void resizeEvent(QResizeEvent* E) override {
        QtBase::resizeEvent(E);
        if (FControl)
            TControlEvents::Resize(*FControl);
    }

private:
    TWinControl* FControl;
};

} // namespace qor
