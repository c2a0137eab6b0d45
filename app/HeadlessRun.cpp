#include "app/HeadlessRun.h"

#include <QFile>
#include <QtGlobal>
#include <iostream>
#include <string>

namespace qor {

void UseOffscreenDrawing() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("LIBGL_ALWAYS_SOFTWARE"))
        qputenv("LIBGL_ALWAYS_SOFTWARE", "1");
    constexpr const char* mesaEglVendor = "/usr/share/glvnd/egl_vendor.d/50_mesa.json";
    if (qEnvironmentVariableIsEmpty("__EGL_VENDOR_LIBRARY_FILENAMES") &&
        QFile::exists(QString::fromLatin1(mesaEglVendor)))
        qputenv("__EGL_VENDOR_LIBRARY_FILENAMES", mesaEglVendor);
}

std::unique_ptr<TMessageBoxHandlerGuard> MessageBoxesToStandardError() {
    return std::make_unique<TMessageBoxHandlerGuard>(
        [](const std::string& Text, const std::string& Caption, unsigned) {
            std::cerr << Caption << ": " << Text << "\n";
            return IDOK;
        });
}

} // namespace qor
