// The view's published properties and its registration for form files.

#include "framework/Properties.h"
#include "gui/RegisterGuiClasses.h"
#include "map3d/Qor3DMap.h"

namespace qor {

void TQor3DMap::Publish(TPublisher<TQor3DMap>& P) {
    using M = TQor3DMap;
    P.Bool("TabStop", &M::TabStop, &M::SetTabStop, true);
    P.Component<TQorMatrix>("Data", &M::Data, &M::SetData)
        .Component<TQorVector>("RowRef", &M::RowRef, &M::SetRowRef)
        .Component<TQorVector>("ColRef", &M::ColRef, &M::SetColRef)
        .Component<TQorPacketData>("HorizontalPosition", &M::HorizontalPosition,
                                   &M::SetHorizontalPosition)
        .Component<TQorPacketData>("VerticalPosition", &M::VerticalPosition,
                                   &M::SetVerticalPosition);
    PublishColor(P, "BackGroundColor", &M::BackGroundColor, &M::SetBackGroundColor, clSilver);
    P.Enum("SphereColorMode", &M::SphereColorMode, &M::SetSphereColorMode, {"scDynamic", "scFixed"},
           scFixed)
        .Enum("EditMode", &M::EditMode, &M::SetEditMode, {"emSingle", "emMultiple", "emCustom"},
              emSingle)
        .Float("SphereRadius", &M::SphereRadius, &M::SetSphereRadius, 0.15f)
        .Bool("EnableDrawSphere", &M::EnableDrawSphere, &M::SetEnableDrawSphere, true)
        .Bool("EnableDrawLine", &M::EnableDrawLine, &M::SetEnableDrawLine, true)
        .Bool("EnableDrawTriangles", &M::EnableDrawTriangles, &M::SetEnableDrawTriangles, true)
        .Bool("EnableModPanel", &M::EnableModPanel, &M::SetEnableModPanel, true)
        .Bool("DefaultDistance", &M::DefaultDistance, &M::SetDefaultDistance, false);
    PublishColor(P, "SphereColor", &M::SphereColor, &M::SetSphereColor, clBlack);
    P.Bool("ShowOperatingPoint", &M::ShowOperatingPoint, &M::SetShowOperatingPoint, false)
        .Integer("TrailLength", &M::TrailLength, &M::SetTrailLength, 32);
    PublishColor(P, "OperatingPointColor", &M::OperatingPointColor, &M::SetOperatingPointColor,
                 clBlue);
    P.Component<TQorEditHistory>("History", &M::History, &M::SetHistory)
        .Bool("ShowChanges", &M::ShowChanges, &M::SetShowChanges, false);
}

void RegisterMap3DClasses() {
    RegisterGuiClasses();
    RegisterDataClasses();
    RegisterClass<TQor3DMap>("TQor3DMap");
}

} // namespace qor
