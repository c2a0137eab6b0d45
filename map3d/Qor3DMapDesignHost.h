#pragma once
// The widget a design tool places for a TQor3DMap: it owns a view in design mode (nothing
// loaded, no context, no GL work) and shows the view's own widget over its whole area.

#include "map3d/Qor3DMap.h"

#include <QWidget>
#include <memory>

namespace qor {

class TQor3DMapDesignHost : public QWidget {
public:
    explicit TQor3DMapDesignHost(QWidget* Parent);
    ~TQor3DMapDesignHost() override;

    TQor3DMap& View() const { return *FView; }

private:
    std::unique_ptr<TQor3DMap> FView;
};

} // namespace qor
