#include "framework/MessageBox.h"

#include <atomic>
#include <gtest/gtest.h>
#include <string>
#include <thread>

namespace qor {
namespace {

TEST(MessageBox, HandlerSeesTextCaptionAndFlagsAndAnswers) {
    std::string text, caption;
    unsigned flags = 0;
    TMessageBoxHandlerGuard guard([&](const std::string& t, const std::string& c, unsigned f) {
        text = t;
        caption = c;
        flags = f;
        return 7; // not IDOK: proves the handler's answer is passed on
    });
    EXPECT_EQ(MessageBox("SER dll not found or out of date!", "Connection",
                         MB_OK | MB_ICONERROR | MB_TASKMODAL),
              7);
    EXPECT_EQ(text, "SER dll not found or out of date!");
    EXPECT_EQ(caption, "Connection");
    EXPECT_EQ(flags, MB_ICONERROR | MB_TASKMODAL);
}

TEST(MessageBox, WithoutHandlerWritesOneLineToStandardError) {
    TMessageBoxHandlerGuard none(nullptr);
    testing::internal::CaptureStderr();
    const int answer = MessageBox("Value out of range", "Edit", MB_OK | MB_ICONWARNING);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Edit: Value out of range\n");
    EXPECT_EQ(answer, IDOK);
}

TEST(MessageBox, GuardsNestAndPutThePreviousHandlerBack) {
    auto answering = [](int Answer) {
        return [Answer](const std::string&, const std::string&, unsigned) { return Answer; };
    };
    TMessageBoxHandlerGuard outer(answering(2));
    {
        TMessageBoxHandlerGuard inner(answering(3));
        EXPECT_EQ(MessageBox("", "", MB_OK), 3);
        TMessageBoxHandler previous = SetMessageBoxHandler(answering(4));
        ASSERT_TRUE(previous);
        EXPECT_EQ(previous("", "", MB_OK), 3);
        EXPECT_EQ(MessageBox("", "", MB_OK), 4);
    }
    EXPECT_EQ(MessageBox("", "", MB_OK), 2);
}

// Runs under ThreadSanitizer with the other thread tests: a box shown on one thread while
// another swaps the handler.
TEST(ThreadMessageBox, HandlerSwapsWhileAnotherThreadShowsBoxes) {
    auto answering = [](int Answer) {
        return [Answer](const std::string&, const std::string&, unsigned) { return Answer; };
    };
    TMessageBoxHandlerGuard guard(answering(1));
    std::atomic<bool> wrongAnswer{false};
    std::thread shower([&] {
        for (int i = 0; i < 2000; ++i) {
            const int answer = MessageBox("text", "caption", MB_OK);
            if (answer != 1 && answer != 2)
                wrongAnswer = true;
        }
    });
    for (int i = 0; i < 2000; ++i)
        SetMessageBoxHandler(answering(1 + i % 2));
    shower.join();
    EXPECT_FALSE(wrongAnswer);
}

} // namespace
} // namespace qor
