#pragma once
// The widget a design tool places for one of our controls: it owns the control in design
// mode (nothing loaded or started, no context, no GL work) and shows the control's own
// widget over its whole area.

#include "framework/Component.h"

#include <QString>
#include <QVBoxLayout>
#include <QWidget>
#include <memory>

namespace qor {

template <class T> class TDesignHost : public QWidget {
public:
    // Name: the component's name and the widget's object name, as a design tool shows it.
    TDesignHost(QWidget* Parent, const char* Name)
        : QWidget(Parent), FRoot(std::make_unique<TComponent>(nullptr)) {
        // Created by a designing owner, the control is in design mode from its first line.
        FRoot->SetDesigning(true);
        FControl = new T(FRoot.get()); // the root destroys it
        FControl->SetName(Name);
        setObjectName(QString::fromLatin1(Name));
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(FControl->Widget());
        FControl->Widget()->show();
        resize(FControl->Width(), FControl->Height());
    }
    // The root goes before the widget's children: the control deletes its own widget.
    ~TDesignHost() override = default;

    T& Control() const { return *FControl; }

private:
    std::unique_ptr<TComponent> FRoot;
    T* FControl = nullptr;
};

} // namespace qor
