#include "gui/QtMessageBox.h"

#include "framework/MessageBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QThread>

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
    QCoreApplication* app = QCoreApplication::instance();
    if (QThread::currentThread() == app->thread())
        return ShowOnGuiThread(Text, Caption, Flags);
    int result = IDOK;
    QMetaObject::invokeMethod(
        app, [&] { result = ShowOnGuiThread(Text, Caption, Flags); }, Qt::BlockingQueuedConnection);
    return result;
}

} // namespace qor
