#pragma once
// Modal message boxes. The GUI layer installs a handler that shows a real box; without one
// (console programs, tests) the message goes to standard error as one line.

#include <functional>
#include <string>

namespace qor {

// Buttons and icons, combined with |.
constexpr unsigned MB_OK = 0x0;
constexpr unsigned MB_ICONERROR = 0x10;
constexpr unsigned MB_ICONWARNING = 0x30;
constexpr unsigned MB_ICONINFORMATION = 0x40;
// Modal for the whole application rather than for one window.
constexpr unsigned MB_TASKMODAL = 0x2000;

// The button the user chose.
constexpr int IDOK = 1;

// Shows the box and answers the button chosen.
using TMessageBoxHandler =
    std::function<int(const std::string& Text, const std::string& Caption, unsigned Flags)>;

// Shows a modal box through the installed handler and returns its answer. Without a handler
// it writes "Caption: Text" as one line to standard error and returns IDOK. The handler runs
// without a lock held, so it may take as long as the user does.
int MessageBox(const std::string& Text, const std::string& Caption, unsigned Flags);

// Installs the handler (empty: none) for every thread and returns the previous one.
TMessageBoxHandler SetMessageBoxHandler(TMessageBoxHandler Handler);

// Installs a handler for its lifetime, then puts the previous one back.
class TMessageBoxHandlerGuard {
public:
    explicit TMessageBoxHandlerGuard(TMessageBoxHandler Handler)
        : FPrevious(SetMessageBoxHandler(std::move(Handler))) {}
    ~TMessageBoxHandlerGuard() { SetMessageBoxHandler(std::move(FPrevious)); }
    TMessageBoxHandlerGuard(const TMessageBoxHandlerGuard&) = delete;
    TMessageBoxHandlerGuard& operator=(const TMessageBoxHandlerGuard&) = delete;

private:
    TMessageBoxHandler FPrevious;
};

} // namespace qor
