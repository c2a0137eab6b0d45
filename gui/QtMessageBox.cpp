#include "gui/QtMessageBox.h"

#include "framework/MainThreadQueue.h"
#include "framework/MessageBox.h"

#include <QApplication>
#include <QMessageBox>

namespace qor {

namespace {

QMessageBox::Icon IconOf(unsigned Flags) {
    switch (Flags & 0xF0) {
    case MB_ICONERROR:
        return QMessageBox::Critical;
    case MB_ICONWARNING:
        return QMessageBox::Warning;
    case MB_ICONINFORMATION:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

int ShowOnGuiThread(const std::string& Text, const std::string& Caption, unsigned Flags) {
    QMessageBox box(IconOf(Flags), QString::fromStdString(Caption), QString::fromStdString(Text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
    return IDOK;
}

} // namespace

int ShowQtMessageBox(const std::string& Text, const std::string& Caption, unsigned Flags) {
    if (IsMainThread())
        return ShowOnGuiThread(Text, Caption, Flags);
    // Widgets live on the main thread only. The call goes through the Synchronize queue,
    // which the main thread serves from its event loop and also while it waits for a
    // thread to end, so a worker asking for a box never deadlocks a main thread that is
    // waiting for that worker.
    static TSyncChannel channel;
    int result = IDOK;
    TMainThreadQueue::Instance().Send(channel,
                                      [&] { result = ShowOnGuiThread(Text, Caption, Flags); });
    return result;
}

} // namespace qor
