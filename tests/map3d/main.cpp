// The map view tests share one application object and run on Qt's offscreen platform;
// the frames themselves are drawn off-screen through EGL on Mesa's software rasteriser.

#include "gui/Application.h"
#include "tests/map3d/SoftwareRendering.h"

#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    qor::test::UseMesaSoftwareRendering();
    qor::TApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
