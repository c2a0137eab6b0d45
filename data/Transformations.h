#pragma once
// Pluggable transformations of external coefficients. Concrete ones are written by the
// application; Enabled is for them to honour.

#include "framework/Component.h"

namespace qor {

template <class C> class TPublisher;

class TBaseTransformation : public TComponent {
public:
    using inherited = TComponent;

    explicit TBaseTransformation(TComponent* AOwner) : TComponent(AOwner) {}

    // Published: Enabled (true).
    static void Publish(TPublisher<TBaseTransformation>& P);

    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool Value) { FEnabled = Value; }

    // Transforms Value into *Result; returns 0 when the result was stored and is to be
    // used, anything else to keep the untransformed value.
    virtual int Transform(double Value, double* Result) = 0;
    // The way back from a transformed value to the original one, same result rule. No
    // part of the toolkit calls it; it is there for applications and tools.
    virtual int InverseTransform(double Value, double* Result) = 0;

private:
    bool FEnabled = true;
};

} // namespace qor
