#pragma once
// The plain event: tells a handler that something happened to Sender.

#include <functional>

namespace qor {

class TObject;

using TNotifyEvent = std::function<void(TObject* Sender)>;

} // namespace qor
