#pragma once
// Lets Qt's event loop and the application's main-thread queue (the refresher's
// deliveries, queued view updates) run until Done is true or the time is up; false then.
// The time is generous: a passing wait ends as soon as Done holds, also in the slow
// sanitizer builds.

#include "gui/Application.h"

#include <QElapsedTimer>
#include <QTest>
#include <functional>

namespace qor::test {

inline bool WaitFor(const std::function<bool()>& Done, int Milliseconds = 10000) {
    QElapsedTimer timer;
    timer.start();
    while (!Done()) {
        if (timer.elapsed() > Milliseconds)
            return false;
        QTest::qWait(10);
        Application->ProcessMessages();
    }
    return true;
}

} // namespace qor::test
