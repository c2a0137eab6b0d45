#pragma once
// Exceptions must not unwind through Qt's event loop. Every entry point from Qt into the
// framework (key, focus, click, change and paint handlers) catches what escapes and hands
// it here; the application shows it and the loop goes on.

#include <exception>
#include <functional>

namespace qor {

using TEventExceptionHandler = std::function<void(std::exception_ptr)>;

// Installs the handler and returns the previous one. An empty handler restores the
// default, which writes the message to standard error.
TEventExceptionHandler SetEventExceptionHandler(TEventExceptionHandler Handler);

// Call from a catch block: hands the current exception to the handler. Never throws.
void HandleEventException() noexcept;

// Runs Action; an exception escaping it goes to HandleEventException.
template <class F> void GuardEvent(F&& Action) noexcept {
    try {
        Action();
    } catch (...) {
        HandleEventException();
    }
}

// The text shown for an exception: its what() for std::exception, a fixed text otherwise.
const char* ExceptionMessage(std::exception_ptr Error) noexcept;

} // namespace qor
