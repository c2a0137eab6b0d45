#pragma once
// The application object: owns the QApplication and the forms, runs the event loop.
//
// While it exists, MessageBox shows a modal Qt message box, the event loop runs the calls
// that worker threads hand to the main thread with Synchronize as soon as they are queued,
// and an exception that escapes an event handler is shown in the message box (or given to
// OnException) while the loop goes on. One application exists at a time; Application
// points to it.

#include "framework/Component.h"
#include "framework/MessageBox.h"
#include "gui/EventExceptions.h"
#include "gui/Form.h"

#include <exception>
#include <functional>
#include <memory>
#include <string>

class QApplication;

namespace qor {

using TExceptionEvent = std::function<void(TObject* Sender, std::exception_ptr E)>;

class TApplication : public TComponent {
public:
    using inherited = TComponent;

    // argc and argv must outlive the application, as Qt requires. Registers the visual
    // classes. Raises EInvalidOperation when an application exists already.
    TApplication(int& argc, char** argv);
    ~TApplication() override;

    QApplication* QtApplication() const { return FQt.get(); }

    // The caption of the message boxes; the program's name to begin with.
    const std::string& Title() const { return FTitle; }
    void SetTitle(const std::string& Value);

    // Creates a form of class T owned by the application; the first one becomes the main
    // form.
    template <class T> T* CreateForm() {
        auto* form = new T(this);
        if (!FMainForm)
            FMainForm = form;
        return form;
    }
    TForm* MainForm() const { return FMainForm; }

    // Shows the main form (if any) and runs the event loop until the main form is closed
    // or Terminate is called.
    void Run();
    void Terminate();
    bool Terminated() const { return FTerminated; }
    // Handles the events that are waiting, then returns.
    void ProcessMessages();

    // An exception escaped an event handler: OnException gets it when assigned, else
    // ShowException shows its message.
    void HandleException(std::exception_ptr E);
    // Shows Message in the framework's message box: error icon, OK, Title as caption.
    void ShowException(const std::string& Message);
    void SetOnException(TExceptionEvent Handler) { FOnException = std::move(Handler); }

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;

private:
    std::unique_ptr<QApplication> FQt;
    std::string FTitle;
    TForm* FMainForm = nullptr;
    bool FTerminated = false;
    TExceptionEvent FOnException;
    TMessageBoxHandler FPreviousMessageBox;
    TEventExceptionHandler FPreviousExceptionHandler;
    std::function<void()> FPreviousWakeup;
};

extern TApplication* Application;

} // namespace qor
