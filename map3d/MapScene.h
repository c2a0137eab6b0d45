#pragma once
// The scene of one frame as data: the samples of a map, where each cell lies, the
// colour ramp and the camera. Free of Qt and of GL; the renderer draws what it holds.

#include "map3d/MapMesh.h"

#include <climits>
#include <functional>
#include <vector>

namespace qor {

// One cell of the map: its height (user value x 0.1) and whether it is selected.
struct MAP_SAMPLE {
    double Height = 0;
    bool Selected = false;
    bool Changed = false; // shown apart (the view's ShowChanges)
};

struct TRgb {
    float R = 0, G = 0, B = 0;
    bool operator==(const TRgb&) const = default;
};

// The colour ramp of the dynamic colour mode: CellMax is drawn (1, 128/255, 128/255),
// CellMin white, linear in between. The green and blue level a is kept within 0 ... 255,
// which a ramp over truncated negative limits would otherwise leave.
int HeightLevel(double Height, int CellMin, int CellMax);
TRgb HeightColor(double Height, int CellMin, int CellMax);

// Extra vertical offset of the map, integer arithmetic: (128 - CellMax / 2) / 10.
float SceneLift(int CellMax);

struct TCamera {
    double ViewAngle = 0;
    float EyeX = 0.85f, EyeY = 2.0f, EyeZ = -2.0f, Tilt = 0.028f;
    bool operator==(const TCamera&) const = default;
};

constexpr double DefaultColSpacing = 4.0;
constexpr double DefaultRowSpacing = 2.0;
constexpr int RefScale = 4;

// What the frame loop needs to place the cells.
struct TLayoutInput {
    int RowCount = 0, ColCount = 0;
    const std::vector<MAP_SAMPLE>* Samples = nullptr;
    // Set when the view has ColRef or RowRef and DefaultDistance is off.
    std::function<double(int)> ColumnSpacingAt;
    std::function<double(int)> RowSpacingAt;
};

struct TCellPlacement {
    TCellArgs Cell;
    bool Selected = false;
    bool Changed = false;
};

// Walks the cells column by column as the frame does and returns where each one lies.
// Nothing is placed unless the samples hold one per cell, so that a frame drawn while
// the samples are being rebuilt reads no sample that is not there.
std::vector<TCellPlacement> LayoutCells(const TLayoutInput& In);

// A cell lit by the live operating point: the patch of the surface around its sample, a
// grid of Side x Side scene points row by row, and how much the cell counts (its bilinear
// weight, 0 ... 1).
struct TLitCell {
    std::vector<TPoint3> Patch;
    int Side = 0;
    double Weight = 0;
};

// The live operating point over the map: a marker on the surface, the lit cells around it
// and the trail of its earlier positions (oldest first), all in one colour.
struct TLiveOverlay {
    bool Visible = false;
    TRgb Color;
    TPoint3 Marker;
    std::vector<TLitCell> LitCells;
    std::vector<TPoint3> Trail;
};

// Everything a frame draws.
struct TSceneFrame {
    TRgb Background{0.75f, 0.75f, 0.75f};
    TCamera Camera;
    int CellMin = INT_MAX, CellMax = INT_MIN;
    std::vector<TCellPlacement> Cells;
    bool DrawSpheres = true, DrawLines = true, DrawTriangles = true;
    bool DynamicSphereColor = false;
    TRgb SphereColor;
    float SphereRadius = 0.15f;
    TLiveOverlay Live;
    // The ball of a changed cell.
    TRgb ChangedColor{0.0f, 0.35f, 1.0f};
};

// The colour of the ball at a sample of that height.
TRgb SphereColorOf(const TSceneFrame& Frame, double Height);
// The colour of the ball of a placed cell: ChangedColor for a changed one.
TRgb BallColorOf(const TSceneFrame& Frame, const TCellPlacement& Placed);

} // namespace qor
