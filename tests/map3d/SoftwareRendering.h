#pragma once
// Makes a test or benchmark program draw on Mesa's software rasteriser through Mesa's EGL,
// on Qt's offscreen platform, unless the environment already says otherwise: the reference
// pictures and the speed targets are those of the software rasteriser, also on a machine
// with a graphics card. Call it first in main, before the application object exists.

#include <QFile>
#include <QString>
#include <QtGlobal>

namespace qor::test {

inline void UseMesaSoftwareRendering() {
    // glvnd's file for Mesa's EGL, so that no other vendor's EGL answers first.
    constexpr const char* MesaEglVendor = "/usr/share/glvnd/egl_vendor.d/50_mesa.json";
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("LIBGL_ALWAYS_SOFTWARE"))
        qputenv("LIBGL_ALWAYS_SOFTWARE", "1");
    if (qEnvironmentVariableIsEmpty("__EGL_VENDOR_LIBRARY_FILENAMES") &&
        QFile::exists(QString::fromLatin1(MesaEglVendor)))
        qputenv("__EGL_VENDOR_LIBRARY_FILENAMES", MesaEglVendor);
}

} // namespace qor::test
