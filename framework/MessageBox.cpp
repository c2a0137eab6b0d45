#include "framework/MessageBox.h"

#include <iostream>
#include <mutex>
#include <utility>

namespace qor {

namespace {

struct THandlerSlot {
    std::mutex Mutex;
    TMessageBoxHandler Handler;
};

THandlerSlot& Slot() {
    static THandlerSlot slot;
    return slot;
}

} // namespace

int MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags) {
    TMessageBoxHandler handler;
    {
        THandlerSlot& slot = Slot();
        std::lock_guard lock(slot.Mutex);
        handler = slot.Handler; // a copy: a swap meanwhile does not pull it away
    }
    if (handler)
        return handler(Text, Caption, Flags);
    // One write, so that lines of several threads do not interleave.
    std::cerr << (Caption + ": " + Text + "\n") << std::flush;
    return IDOK;
}

TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler) {
    THandlerSlot& slot = Slot();
    std::lock_guard lock(slot.Mutex);
    std::swap(slot.Handler, Handler);
    return Handler;
}

} // namespace qor
