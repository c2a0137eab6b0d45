// The demo form tests share one application object and run on Qt's offscreen platform;
// the maps draw off-screen through EGL on Mesa's software rasteriser.

#include "app/DemoForm.h"
#include "gui/Application.h"

#include <QFile>
#include <QtGlobal>
#include <gtest/gtest.h>

constexpr const char* MesaEglVendor = "/usr/share/glvnd/egl_vendor.d/50_mesa.json";

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("LIBGL_ALWAYS_SOFTWARE"))
        qputenv("LIBGL_ALWAYS_SOFTWARE", "1");
    if (qEnvironmentVariableIsEmpty("__EGL_VENDOR_LIBRARY_FILENAMES") &&
        QFile::exists(QString::fromLatin1(MesaEglVendor)))
        qputenv("__EGL_VENDOR_LIBRARY_FILENAMES", MesaEglVendor);
    qor::TApplication application(argc, argv);
    qor::RegisterDemoClasses();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
