#pragma once
// Where a live operating point lies on a map, as plain numbers: an axis value placed
// between the axis's breakpoints, the bilinear weights of the cells around the point, its
// position and height in the scene, and the trail of the points before it. Free of Qt and
// of GL.
//
// Positions on the map are fractional and zero-based: column 2.25 lies a quarter of the
// way from the third column to the fourth.

#include "map3d/MapScene.h"

#include <deque>
#include <vector>

namespace qor {

// The fractional position of Value on an axis of these breakpoints (one per column or
// row): linear between neighbouring breakpoints, clamped to 0 ... size - 1. Breakpoints
// that do not increase are taken as their running maximum: one that is not above an
// earlier one counts as equal to it, so such a stretch has no width and a value is never
// placed inside it (a value equal to it lands on its first breakpoint); no step is ever
// divided by zero. Breakpoints that are not finite count the same way, and leading ones
// take the first finite breakpoint. An axis with no finite breakpoint, an empty axis and
// a value that is not a number give 0.
double AxisPosition(const std::vector<double>& Breakpoints, double Value);

// Without an axis the value is a 1-based column or row number: Value - 1, clamped to
// 0 ... Count - 1 (0 for a value that is not a number or a Count below 1).
double NumberPosition(int Count, double Value);

struct TMapPoint {
    double Col = 0, Row = 0;
    bool operator==(const TMapPoint&) const = default;
};

struct TCellWeight {
    int Row = 0, Col = 0; // zero-based
    double Weight = 0;
    bool operator==(const TCellWeight&) const = default;
};

// The cells around Point (clamped to the map) with their bilinear weights, which sum to 1:
// only cells with a weight above 0, in the order (row, col), (row, col + 1), (row + 1, col),
// (row + 1, col + 1). Empty for a map without cells.
std::vector<TCellWeight> CellWeights(const TMapPoint& Point, int RowCount, int ColCount);

// The cell with the largest weight; of equal weights the first. Weights must not be empty.
TCellWeight HeaviestCell(const std::vector<TCellWeight>& Weights);

// The point in the scene on the cell layout of a frame (Cells column-major, one per cell):
// x and z interpolated between the cells' positions, y the bilinear height of the
// surrounding samples. Positions up to half a cell beyond the first and last sample reach
// into the edge tiles (by the edge cell's extent); the height is then the edge's.
TPoint3 ScenePoint(const std::vector<TCellPlacement>& Cells, int RowCount, int ColCount,
                   const TMapPoint& Point);

// The positions the point has had, oldest first, at most Capacity of them (0 ... 256). A
// position equal to the newest one is not added again, so the trail shows where the point
// has been rather than how long it stayed.
class TTrail {
public:
    static constexpr int MaxCapacity = 256;

    int Capacity() const { return FCapacity; }
    // Out of 0 ... MaxCapacity: ignored. The oldest positions beyond it are dropped.
    void SetCapacity(int Value);
    void Add(const TMapPoint& Point);
    void Clear() { FPoints.clear(); }
    const std::deque<TMapPoint>& Points() const { return FPoints; }

private:
    int FCapacity = 32;
    std::deque<TMapPoint> FPoints;
};

// The overlay of a frame for Point and Trail on the cell layout Cells: the marker, the lit
// cells and the trail in the scene.
TLiveOverlay BuildLiveOverlay(const std::vector<TCellPlacement>& Cells, int RowCount, int ColCount,
                              const TMapPoint& Point, const TTrail& Trail, const TRgb& Color);

} // namespace qor
