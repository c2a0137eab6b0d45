// The demo form tests share one application object and run on Qt's offscreen platform;
// the maps draw off-screen through EGL on Mesa's software rasteriser.

#include "app/DemoForm.h"
#include "gui/Application.h"
#include "tests/map3d/SoftwareRendering.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qor::test::UseMesaSoftwareRendering();
    qor::TApplication application(argc, argv);
    qor::RegisterDemoClasses();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
