#include "map3d/Qor3DMapDesignHost.h"

#include <QVBoxLayout>

namespace qor {

TQor3DMapDesignHost::TQor3DMapDesignHost(QWidget* Parent)
    : QWidget(Parent), FView(std::make_unique<TQor3DMap>(nullptr)) {
    FView->SetDesigning(true);
    FView->SetName("Qor3DMap1");
    setObjectName(QStringLiteral("Qor3DMap1"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(FView->Widget());
    FView->Widget()->show();
    resize(FView->Width(), FView->Height());
}

// The view deletes its own widget, a child of this one, before the children go.
TQor3DMapDesignHost::~TQor3DMapDesignHost() = default;

} // namespace qor
