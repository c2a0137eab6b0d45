#pragma once
// The widget a design tool places for a TQor3DMap: a view in design mode (nothing loaded,
// no context, no GL work) over its whole area.

#include "map3d/DesignHost.h"
#include "map3d/Qor3DMap.h"

namespace qor {

class TQor3DMapDesignHost : public TDesignHost<TQor3DMap> {
public:
    explicit TQor3DMapDesignHost(QWidget* Parent);

    TQor3DMap& View() const { return Control(); }
};

} // namespace qor
