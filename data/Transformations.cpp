#include "data/Transformations.h"

#include "framework/Properties.h"

namespace qor {

void TBaseTransformation::Publish(TPublisher<TBaseTransformation>& P) {
    P.Bool("Enabled", &TBaseTransformation::Enabled, &TBaseTransformation::SetEnabled, true);
}

} // namespace qor
