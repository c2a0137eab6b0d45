#include "framework/Control.h"

namespace qor {

LRESULT TControl::Perform(unsigned Msg, WPARAM WParam, LPARAM LParam) {
    TMessage message{Msg, WParam, LParam, 0};
    Dispatch(message);
    return message.Result;
}

} // namespace qor
