#include "map3d/MapScene.h"

#include <algorithm>

namespace qor {

int HeightLevel(double Height, int CellMin, int CellMax) {
    if (CellMin >= CellMax)
        return 255;
    const double a = (CellMax - Height * 10) * 127 / (static_cast<double>(CellMax) - CellMin) + 128;
    return static_cast<int>(std::clamp(a, 0.0, 255.0));
}

TRgb HeightColor(double Height, int CellMin, int CellMax) {
    const float level = static_cast<float>(HeightLevel(Height, CellMin, CellMax)) / 255.0f;
    return {1.0f, level, level};
}

TRgb SphereColorOf(const TSceneFrame& Frame, double Height) {
    return Frame.DynamicSphereColor ? HeightColor(Height, Frame.CellMin, Frame.CellMax)
                                    : Frame.SphereColor;
}

TRgb BallColorOf(const TSceneFrame& Frame, const TCellPlacement& Placed) {
    return Placed.Changed ? Frame.ChangedColor : SphereColorOf(Frame, Placed.Cell.G);
}

float SceneLift(int CellMax) {
    return static_cast<float>((128 - CellMax / 2) / 10);
}

std::vector<TCellPlacement> LayoutCells(const TLayoutInput& In) {
    std::vector<TCellPlacement> out;
    const int rows = In.RowCount, cols = In.ColCount;
    if (rows <= 0 || cols <= 0 || !In.Samples)
        return out;
    const std::vector<MAP_SAMPLE>& samples = *In.Samples;
    const std::size_t n = static_cast<std::size_t>(rows) * static_cast<std::size_t>(cols);
    if (samples.size() < n)
        return out;
    out.reserve(n);

    // A zero spacing would fold two columns or rows onto one line.
    const auto nonZero = [](double v) { return v == 0 ? 1.0 : v; };
    double colSpacing = In.ColumnSpacingAt ? nonZero(In.ColumnSpacingAt(1)) : DefaultColSpacing;
    double x = -(cols * colSpacing) * 0.5;
    const double z0 = -(rows * DefaultRowSpacing) * 0.5;
    std::size_t i = 0;
    for (int j = 1; j <= cols; ++j) {
        double z = z0;
        for (int l = 1; l <= rows; ++l) {
            double rowSpacing = DefaultRowSpacing;
            if (In.RowSpacingAt)
                rowSpacing = nonZero(l == rows ? 1.0 : In.RowSpacingAt(l));
            TCellPlacement placed;
            TCellArgs& c = placed.Cell;
            c.I = static_cast<int>(i);
            c.X = x;
            c.Z = z;
            c.G = samples[i].Height;
            c.D = samples[(i + 1) % n].Height;
            c.F = samples[(i + rows) % n].Height;
            c.E = samples[(i + rows + 1) % n].Height;
            c.R = colSpacing;
            c.S = rowSpacing;
            c.RowCount = rows;
            c.ColCount = cols;
            placed.Selected = samples[i].Selected;
            placed.Changed = samples[i].Changed;
            out.push_back(placed);
            z += rowSpacing;
            ++i;
        }
        x += colSpacing;
        if (j == cols)
            break; // nothing follows the last column, so no spacing is read for it
        if (In.ColumnSpacingAt)
            colSpacing = nonZero(j + 1 == cols ? 1.0 : In.ColumnSpacingAt(j + 1));
        else
            colSpacing = DefaultColSpacing;
    }
    return out;
}

} // namespace qor
