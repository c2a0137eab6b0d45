#include "map3d/OperatingPoint.h"

#include <algorithm>
#include <cmath>

namespace qor {

double AxisPosition(const std::vector<double>& Breakpoints, double Value) {
    const std::size_t n = Breakpoints.size();
    if (n == 0 || std::isnan(Value))
        return 0;
    const auto firstFinite = std::find_if(Breakpoints.begin(), Breakpoints.end(),
                                          [](double b) { return std::isfinite(b); });
    if (firstFinite == Breakpoints.end())
        return 0;
    // The running maximum: non-decreasing, so every step used below has a width above 0.
    std::vector<double> top(n);
    double highest = *firstFinite;
    for (std::size_t k = 0; k < n; ++k) {
        if (std::isfinite(Breakpoints[k]) && Breakpoints[k] > highest)
            highest = Breakpoints[k];
        top[k] = highest;
    }
    if (Value <= top[0])
        return 0;
    if (Value >= top[n - 1])
        return static_cast<double>(n - 1);
    // top[k] < Value < top[n - 1]: the first step that reaches Value is not flat.
    std::size_t k = 0;
    while (Value > top[k + 1])
        ++k;
    const double fraction = (Value - top[k]) / (top[k + 1] - top[k]);
    return static_cast<double>(k) + (fraction >= 0 ? std::min(fraction, 1.0) : 0.0);
}

double NumberPosition(int Count, double Value) {
    if (Count < 1 || std::isnan(Value))
        return 0;
    return std::clamp(Value - 1, 0.0, static_cast<double>(Count - 1));
}

namespace {

// Splits a position on an axis of Count samples into a sample and the fraction toward the
// next one (0 on the last sample).
void Split(double Position, int Count, int& Index, double& Fraction) {
    const double p = std::isnan(Position) ? 0 : std::clamp(Position, 0.0, Count - 1.0);
    Index = static_cast<int>(std::floor(p));
    if (Index >= Count - 1) {
        Index = Count - 1;
        Fraction = 0;
        return;
    }
    Fraction = p - Index;
}

// The scene coordinate of a position along an axis whose samples lie at At(k): linear
// between samples, by the edge sample's Extent(k) up to half a cell beyond the ends.
template <class FAt, class FExtent>
double Along(double Position, int Count, FAt At, FExtent Extent) {
    const double p = std::isnan(Position) ? 0 : std::clamp(Position, -0.5, Count - 0.5);
    if (p < 0)
        return At(0) + p * Extent(0);
    if (p > Count - 1)
        return At(Count - 1) + (p - (Count - 1)) * Extent(Count - 1);
    int k = 0;
    double f = 0;
    Split(p, Count, k, f);
    return f == 0 ? At(k) : At(k) + f * (At(k + 1) - At(k));
}

} // namespace

std::vector<TCellWeight> CellWeights(const TMapPoint& Point, int RowCount, int ColCount) {
    std::vector<TCellWeight> out;
    if (RowCount < 1 || ColCount < 1)
        return out;
    int r = 0, c = 0;
    double fr = 0, fc = 0;
    Split(Point.Row, RowCount, r, fr);
    Split(Point.Col, ColCount, c, fc);
    const TCellWeight all[] = {{r, c, (1 - fc) * (1 - fr)},
                               {r, c + 1, fc * (1 - fr)},
                               {r + 1, c, (1 - fc) * fr},
                               {r + 1, c + 1, fc * fr}};
    for (const TCellWeight& w : all)
        if (w.Weight > 0)
            out.push_back(w);
    return out;
}

TCellWeight HeaviestCell(const std::vector<TCellWeight>& Weights) {
    return *std::max_element(
        Weights.begin(), Weights.end(),
        [](const TCellWeight& a, const TCellWeight& b) { return a.Weight < b.Weight; });
}

TPoint3 ScenePoint(const std::vector<TCellPlacement>& Cells, int RowCount, int ColCount,
                   const TMapPoint& Point) {
    if (RowCount < 1 || ColCount < 1 ||
        Cells.size() != static_cast<std::size_t>(RowCount) * static_cast<std::size_t>(ColCount))
        return {};
    const auto cell = [&](int Row, int Col) -> const TCellArgs& {
        return Cells[static_cast<std::size_t>(Col) * static_cast<std::size_t>(RowCount) +
                     static_cast<std::size_t>(Row)]
            .Cell;
    };
    TPoint3 p;
    p.X = Along(
        Point.Col, ColCount, [&](int k) { return cell(0, k).X; },
        [&](int k) { return cell(0, k).R; });
    p.Z = Along(
        Point.Row, RowCount, [&](int k) { return cell(k, 0).Z; },
        [&](int k) { return cell(k, 0).S; });
    for (const TCellWeight& w : CellWeights(Point, RowCount, ColCount))
        p.Y += w.Weight * cell(w.Row, w.Col).G;
    return p;
}

void TTrail::SetCapacity(int Value) {
    if (Value < 0 || Value > MaxCapacity)
        return;
    FCapacity = Value;
    while (static_cast<int>(FPoints.size()) > FCapacity)
        FPoints.pop_front();
}

void TTrail::Add(const TMapPoint& Point) {
    if (FCapacity == 0 || (!FPoints.empty() && FPoints.back() == Point))
        return;
    FPoints.push_back(Point);
    if (static_cast<int>(FPoints.size()) > FCapacity)
        FPoints.pop_front();
}

TLiveOverlay BuildLiveOverlay(const std::vector<TCellPlacement>& Cells, int RowCount, int ColCount,
                              const TMapPoint& Point, const TTrail& Trail, const TRgb& Color) {
    TLiveOverlay live;
    if (RowCount < 1 || ColCount < 1 ||
        Cells.size() != static_cast<std::size_t>(RowCount) * static_cast<std::size_t>(ColCount))
        return live;
    live.Visible = true;
    live.Color = Color;
    live.Marker = ScenePoint(Cells, RowCount, ColCount, Point);
    for (const TMapPoint& p : Trail.Points())
        live.Trail.push_back(ScenePoint(Cells, RowCount, ColCount, p));
    // Each lit cell is the surface from half a cell before its sample to half a cell
    // after it, along both axes.
    constexpr int Steps = 4;
    for (const TCellWeight& w : CellWeights(Point, RowCount, ColCount)) {
        TLitCell lit;
        lit.Side = Steps + 1;
        lit.Weight = w.Weight;
        for (int i = 0; i <= Steps; ++i)
            for (int j = 0; j <= Steps; ++j)
                lit.Patch.push_back(ScenePoint(Cells, RowCount, ColCount,
                                               {w.Col - 0.5 + static_cast<double>(j) / Steps,
                                                w.Row - 0.5 + static_cast<double>(i) / Steps}));
        live.LitCells.push_back(std::move(lit));
    }
    return live;
}

} // namespace qor
