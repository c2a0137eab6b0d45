// The live operating point on the view: the packets' values placed on the map, the cells
// around the point weighed, its trail, and the key that selects its cell. The placement
// itself is in OperatingPoint.cpp.

#include "map3d/Qor3DMap.h"

#include <QMetaObject>
#include <QWidget>

namespace qor {

void TQor3DMap::SetShowOperatingPoint(bool Value) {
    if (Value == FShowOperatingPoint)
        return;
    FShowOperatingPoint = Value;
    if (Value)
        return;
    const bool shown = FHasOperatingPoint;
    FHasOperatingPoint = false;
    FPointWeights.clear();
    FTrail.Clear();
    if (shown)
        RenderScene();
}

void TQor3DMap::SetTrailLength(int Value) {
    const int before = static_cast<int>(FTrail.Points().size());
    FTrail.SetCapacity(Value);
    if (FHasOperatingPoint && static_cast<int>(FTrail.Points().size()) != before)
        RenderScene();
}

void TQor3DMap::SetOperatingPointColor(TColor Value) {
    FOperatingPointColor = Value;
    if (FHasOperatingPoint)
        RenderScene();
}

void TQor3DMap::ScheduleOperatingPoint() {
    // A refresh pass delivers every due packet in one go on this thread: the update runs
    // once the pass is over, with both values. The call is dropped when the view's widget
    // goes first.
    if (FOperatingPointPending || Designing() || !Widget())
        return;
    FOperatingPointPending = true;
    QMetaObject::invokeMethod(
        Widget(),
        [this] {
            FOperatingPointPending = false;
            UpdateOperatingPoint();
        },
        Qt::QueuedConnection);
}

double TQor3DMap::LivePosition(TQorPacketData* Packet, TQorVector* Axis, int Count, double& Value) {
    if (!Packet) {
        Value = 0;
        return 0;
    }
    Value = Packet->EcuToUser(Packet->RawValue());
    if (!Axis)
        return NumberPosition(Count, Value);
    std::vector<double> breakpoints(static_cast<std::size_t>(Count));
    for (int i = 0; i < Count; ++i)
        Axis->GetElementValue(i, breakpoints[static_cast<std::size_t>(i)]);
    return AxisPosition(breakpoints, Value);
}

void TQor3DMap::UpdateOperatingPoint() {
    if (!FShowOperatingPoint || !FData || FRowCountSnapshot < 1 || FColCountSnapshot < 1)
        return;
    FOperatingPoint.Col =
        LivePosition(FHorizontalPosition, FColRef, FColCountSnapshot, FHorizontalValue);
    FOperatingPoint.Row =
        LivePosition(FVerticalPosition, FRowRef, FRowCountSnapshot, FVerticalValue);
    FPointWeights = CellWeights(FOperatingPoint, FRowCountSnapshot, FColCountSnapshot);
    FTrail.Add(FOperatingPoint);
    FHasOperatingPoint = true;
    RenderScene();
    if (FOnOperatingPoint)
        FOnOperatingPoint(this);
}

void TQor3DMap::SelectOperatingCell() {
    if (!FHasOperatingPoint || FPointWeights.empty())
        return;
    const TCellWeight cell = HeaviestCell(FPointWeights);
    SetSelection({cell.Col + 1, cell.Row + 1, cell.Col + 1, cell.Row + 1});
}

} // namespace qor
