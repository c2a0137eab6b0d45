// The map view tests share one application object and run on Qt's offscreen platform;
// the frames themselves are drawn off-screen through EGL on Mesa's software rasteriser.

#include "gui/Application.h"

#include <QFile>
#include <QtGlobal>
#include <gtest/gtest.h>

// glvnd's file for Mesa's EGL, so that no other vendor's EGL answers first.
constexpr const char* MesaEglVendor = "/usr/share/glvnd/egl_vendor.d/50_mesa.json";

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The reference pictures and the targets are those of Mesa's software rasteriser, also
    // on a machine with a graphics card.
    if (qEnvironmentVariableIsEmpty("LIBGL_ALWAYS_SOFTWARE"))
        qputenv("LIBGL_ALWAYS_SOFTWARE", "1");
    if (qEnvironmentVariableIsEmpty("__EGL_VENDOR_LIBRARY_FILENAMES") &&
        QFile::exists(QString::fromLatin1(MesaEglVendor)))
        qputenv("__EGL_VENDOR_LIBRARY_FILENAMES", MesaEglVendor);
    qor::TApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
