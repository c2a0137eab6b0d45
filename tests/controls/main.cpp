// The control tests share one application object (Qt allows one per process) and run on
// Qt's offscreen platform: real widgets and key events without a display.

#include "controls/RegisterControlClasses.h"
#include "gui/Application.h"

#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qor::TApplication application(argc, argv);
    qor::RegisterControlClasses();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
