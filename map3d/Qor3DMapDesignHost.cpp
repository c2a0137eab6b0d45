#include "map3d/Qor3DMapDesignHost.h"

namespace qor {

TQor3DMapDesignHost::TQor3DMapDesignHost(QWidget* Parent) : TDesignHost(Parent, "Qor3DMap1") {}

} // namespace qor
