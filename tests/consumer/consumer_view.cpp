// Links the visual layers of the installed package: the application object, the
// registered control and map view classes and a 3-D map view on Qt's offscreen platform.

#include <cstdlib>
#include <iostream>
#include <qorcal/controls/RegisterControlClasses.h>
#include <qorcal/gui/Application.h>
#include <qorcal/gui/RegisterGuiClasses.h>
#include <qorcal/map3d/Qor3DMap.h>

int main(int argc, char** argv) {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    qor::TApplication application(argc, argv);
    qor::RegisterGuiClasses();
    qor::RegisterControlClasses();
    qor::RegisterMap3DClasses();
    qor::TQor3DMap view(nullptr);
    std::cout << "created a " << view.ClassName() << "\n";
    return view.ClassName() == "TQor3DMap" ? 0 : 1;
}
