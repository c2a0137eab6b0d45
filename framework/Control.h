#pragma once
// The non-visual face of a control: a component that answers messages. Visual controls
// derive from it in the GUI layer; data components tell controls from other clients by it.

#include "framework/Component.h"
#include "framework/Messages.h"

namespace qor {

class TControl : public TComponent {
public:
    using inherited = TComponent;
    using TComponent::TComponent;

    // Sends a message to the control synchronously and returns its result.
    LRESULT Perform(unsigned Msg, WPARAM WParam, LPARAM LParam);

protected:
    // Handles a message; sets Message.Result.
    virtual void Dispatch(TMessage& Message) = 0;
};

} // namespace qor
