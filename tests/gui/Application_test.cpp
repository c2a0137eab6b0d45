// The application's event loop: exceptions from event handlers shown in the message box
// while the loop goes on, the Qt message box itself, and Synchronize served by the loop.

#include "GuiTestSupport.h"
#include "framework/MessageBox.h"
#include "framework/Thread.h"
#include "gui/Application.h"
#include "gui/Button.h"
#include "gui/Edit.h"

#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <future>
#include <stdexcept>

namespace qor::test {
namespace {

struct ShownMessage {
    std::string Text, Caption;
    unsigned Flags;
};

// Stops a loop that would otherwise never end because what it waits for is broken; the
// test then fails on its expectations instead of hanging. Only for the test's own loop.
class TLoopWatchdog {
public:
    TLoopWatchdog() {
        FTimer.setSingleShot(true);
        QObject::connect(&FTimer, &QTimer::timeout, [] { Application->Terminate(); });
        FTimer.start(30000);
    }

private:
    QTimer FTimer;
};

TEST(ApplicationLoop, ExceptionFromAnEventHandlerIsShownAndTheLoopGoesOn) {
    std::vector<ShownMessage> shown;
    TMessageBoxHandlerGuard guard(
        [&](const std::string& Text, const std::string& Caption, unsigned Flags) {
            shown.push_back({Text, Caption, Flags});
            return IDOK;
        });
    const std::string title = Application->Title();
    Application->SetTitle("Calibration");

    TForm form(nullptr);
    auto* edit = new TEdit(&form);
    edit->SetParent(&form);
    auto* button = new TButton(&form);
    button->SetParent(&form);
    button->SetTop(40);
    edit->SetOnKeyPress([](TObject*, char& Key) {
        if (Key == 'x')
            throw std::runtime_error("x is not a digit");
    });
    int clicks = 0;
    button->SetOnClick([&](TObject*) {
        if (++clicks == 1)
            throw std::out_of_range("first click refused");
    });
    form.Show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.Widget()));
    edit->SetFocus();

    QTimer::singleShot(0, [&] {
        QTest::keyClicks(edit->Widget(), "1x2");
        QTest::mouseClick(button->Widget(), Qt::LeftButton);
        QTest::mouseClick(button->Widget(), Qt::LeftButton);
        Application->Terminate();
    });
    TLoopWatchdog watchdog;
    Application->Run();
    Application->SetTitle(title);

    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].Text, "x is not a digit");
    EXPECT_EQ(shown[0].Caption, "Calibration");
    EXPECT_EQ(shown[0].Flags, MB_OK | MB_ICONERROR);
    EXPECT_EQ(shown[1].Text, "first click refused");
    EXPECT_EQ(edit->Text(), "12") << "the key whose handler raised is not typed";
    EXPECT_EQ(clicks, 2);
}

TEST(ApplicationLoop, OnExceptionReplacesTheMessageBox) {
    std::vector<std::string> handled;
    Application->SetOnException([&](TObject* Sender, std::exception_ptr E) {
        EXPECT_EQ(Sender, Application);
        handled.push_back(ExceptionMessage(E));
    });
    TMessageBoxHandlerGuard guard([](const std::string&, const std::string&, unsigned) -> int {
        ADD_FAILURE() << "no message box expected";
        return IDOK;
    });
    TForm form(nullptr);
    auto* button = new TButton(&form);
    button->SetParent(&form);
    button->SetOnClick([](TObject*) { throw std::runtime_error("handled elsewhere"); });
    form.Show();
    button->ClickButton();
    Application->SetOnException(nullptr);
    EXPECT_EQ(handled, std::vector<std::string>{"handled elsewhere"});
}

TEST(ApplicationLoop, MessageBoxShowsAModalQtBoxWithErrorIconAndOk) {
    struct Seen {
        bool Found = false;
        QMessageBox::Icon Icon = QMessageBox::NoIcon;
        QString Text, Title;
        bool Modal = false;
        int Buttons = 0;
    } seen;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        seen = {true,           box->icon(),
                box->text(),    box->windowTitle(),
                box->isModal(), static_cast<int>(box->buttons().size())};
        box->button(QMessageBox::Ok)->click();
    });
    const int answer = MessageBox("Link lost", "QorCal", MB_OK | MB_ICONERROR);
    EXPECT_EQ(answer, IDOK);
    ASSERT_TRUE(seen.Found);
    EXPECT_EQ(seen.Icon, QMessageBox::Critical);
    EXPECT_EQ(seen.Text, "Link lost");
    EXPECT_EQ(seen.Title, "QorCal");
    EXPECT_TRUE(seen.Modal);
    EXPECT_EQ(seen.Buttons, 1);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// A worker that hands calls to the main thread once the loop runs, one after the other,
// and records where they ran. Only the first could be served by a look at the queue when
// the loop starts; the others need the loop to wake up for them.
class TSynchronizingThread : public TThread {
public:
    static constexpr int Calls = 3;

    TSynchronizingThread(std::shared_future<void> LoopRuns)
        : TThread(false), FLoopRuns(std::move(LoopRuns)) {}
    ~TSynchronizingThread() override { Shutdown(); }

    std::atomic<int> RanOnMainThread{0};

protected:
    void Execute() override {
        FLoopRuns.wait();
        for (int i = 1; i <= Calls; ++i)
            Synchronize([this, i] {
                if (IsMainThread())
                    ++RanOnMainThread;
                if (i == Calls)
                    Application->Terminate();
            });
    }

private:
    std::shared_future<void> FLoopRuns;
};

TEST(ApplicationLoop, ServesAWorkerThreadsSynchronizeWhileItRuns) {
    std::promise<void> loopRuns;
    auto worker = MakeThread<TSynchronizingThread>(loopRuns.get_future().share());
    QTimer::singleShot(0, [&] { loopRuns.set_value(); });
    TLoopWatchdog watchdog;
    Application->Run();
    const int servedByTheLoop = worker->RanOnMainThread;
    worker->WaitFor();
    EXPECT_EQ(servedByTheLoop, TSynchronizingThread::Calls);
}

// Runs a function on a worker thread.
class TFunctionThread : public TThread {
public:
    explicit TFunctionThread(std::function<void(TThread&)> Body)
        : TThread(false), FBody(std::move(Body)) {}
    ~TFunctionThread() override { Shutdown(); }

protected:
    void Execute() override { FBody(*this); }

private:
    std::function<void(TThread&)> FBody;
};

TEST(ApplicationLoop, MessageBoxFromAWorkerThreadIsShownByTheMainThread) {
    std::atomic<int> answer{0};
    auto worker = MakeThread<TFunctionThread>([&](TThread& self) {
        answer = MessageBox("Refresh failed", "QorCal", MB_OK | MB_ICONWARNING);
        self.Synchronize([] { Application->Terminate(); });
    });
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onMainThread = false;
    // Looks for the box whenever the loop (or the box's own loop) is idle.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            icon = box->icon();
            onMainThread = IsMainThread();
            box->button(QMessageBox::Ok)->click();
        }
    });
    closer.start(10);
    TLoopWatchdog watchdog;
    Application->Run();
    worker->WaitFor();
    EXPECT_EQ(answer, IDOK);
    EXPECT_EQ(text, "Refresh failed");
    EXPECT_EQ(icon, QMessageBox::Warning);
    EXPECT_TRUE(onMainThread);
}

} // namespace
} // namespace qor::test
