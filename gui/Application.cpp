#include "gui/Application.h"

#include "framework/MainThreadQueue.h"
#include "gui/QtMessageBox.h"
#include "gui/RegisterGuiClasses.h"
#include "gui/WinControl.h"

#include <QApplication>

namespace qor {

TApplication* Application = nullptr;

namespace {

// Exceptions must not unwind through Qt. The controls catch them at their own entry
// points; this catches whatever else escapes an event (a slot of the program's own, say).
class TGuardedQApplication : public QApplication {
public:
    using QApplication::QApplication;

    bool notify(QObject* Receiver, QEvent* Event) override {
        try {
            return QApplication::notify(Receiver, Event);
        } catch (...) {
            HandleEventException();
            return false;
        }
    }
};

// Runs the calls that worker threads queued, from the event loop.
void RunQueuedCalls() {
    GuardEvent([] { CheckSynchronize(); });
}

} // namespace

TApplication::TApplication(int& argc, char** argv) : TComponent(nullptr) {
    if (Application)
        throw EInvalidOperation("An application exists already");
    SetMainThread();
    FQt = std::make_unique<TGuardedQApplication>(argc, argv);
    FTitle = QCoreApplication::applicationName().toStdString();
    RegisterGuiClasses();
    Application = this;
    FPreviousMessageBox = SetMessageBoxHandler(ShowQtMessageBox);
    FPreviousExceptionHandler =
        SetEventExceptionHandler([this](std::exception_ptr E) { HandleException(E); });
    // Called on the worker's thread after it queued a call: post a run of the queue to the
    // GUI thread, which wakes the event loop.
    QApplication* qt = FQt.get();
    FPreviousWakeup = SetSynchronizeWakeup(
        [qt] { QMetaObject::invokeMethod(qt, RunQueuedCalls, Qt::QueuedConnection); });
}

TApplication::~TApplication() {
    Destroying();
    SetSynchronizeWakeup(std::move(FPreviousWakeup));
    SetEventExceptionHandler(std::move(FPreviousExceptionHandler));
    SetMessageBoxHandler(std::move(FPreviousMessageBox));
    // The forms and their widgets go while Qt is still there.
    while (ComponentCount() > 0)
        delete Components(ComponentCount() - 1);
    FQt.reset();
    Application = nullptr;
}

void TApplication::SetTitle(const std::string& Value) {
    FTitle = Value;
    QGuiApplication::setApplicationDisplayName(QString::fromStdString(Value));
}

void TApplication::Run() {
    FTerminated = false;
    if (FMainForm)
        FMainForm->Show();
    // Calls queued before the loop started are run as soon as it does.
    QMetaObject::invokeMethod(FQt.get(), RunQueuedCalls, Qt::QueuedConnection);
    QApplication::exec();
    FTerminated = true;
}

void TApplication::Terminate() {
    FTerminated = true;
    QCoreApplication::quit();
}

void TApplication::ProcessMessages() {
    QCoreApplication::processEvents();
    RunQueuedCalls();
}

void TApplication::HandleException(std::exception_ptr E) {
    if (FOnException)
        FOnException(this, E);
    else
        ShowException(ExceptionMessage(E));
}

void TApplication::ShowException(const std::string& Message) {
    MessageBox(Message, FTitle, MB_OK | MB_ICONERROR);
}

void TApplication::Notification(TComponent* AComponent, TOperation Operation) {
    TComponent::Notification(AComponent, Operation);
    if (Operation == opRemove && AComponent == FMainForm)
        FMainForm = nullptr;
}

} // namespace qor
