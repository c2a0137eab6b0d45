// The generated forms hold key combo boxes and 3-D map views beside the data components,
// so the a2l tests share one application object on Qt's offscreen platform and register
// every class a generated form may name.

#include "controls/RegisterControlClasses.h"
#include "data/SerialData.h"
#include "gui/Application.h"
#include "link/QorConnection.h"
#include "map3d/Qor3DMap.h"

#include <QtGlobal>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qor::TApplication application(argc, argv);
    qor::RegisterLinkClasses();
    qor::RegisterDataClasses();
    qor::RegisterControlClasses();
    qor::RegisterMap3DClasses();
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
