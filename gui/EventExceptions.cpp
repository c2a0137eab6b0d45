#include "gui/EventExceptions.h"

#include <cstdio>
#include <utility>

namespace qor {

namespace {

TEventExceptionHandler& Handler() {
    static TEventExceptionHandler handler;
    return handler;
}

} // namespace

TEventExceptionHandler SetEventExceptionHandler(TEventExceptionHandler NewHandler) {
    return std::exchange(Handler(), std::move(NewHandler));
}

const char* ExceptionMessage(std::exception_ptr Error) noexcept {
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Unknown exception";
    }
}

void HandleEventException() noexcept {
    const std::exception_ptr error = std::current_exception();
    if (!error)
        return;
    try {
        if (const TEventExceptionHandler& handler = Handler()) {
            handler(error);
            return;
        }
    } catch (...) {
        // A failing handler must not take the loop down either; fall back to stderr.
    }
    std::fprintf(stderr, "Unhandled exception in an event handler: %s\n", ExceptionMessage(error));
}

} // namespace qor
