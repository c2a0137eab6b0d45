// Placement of a live operating point as numbers: axis values on breakpoints, the weights
// of the cells around the point, its place in the scene, and the trail.

#include "map3d/OperatingPoint.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>

namespace qor::test {
namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

TEST(OperatingPoint, AxisPositionOnBreakpoints) {
    struct TCase {
        const char* Name;
        std::vector<double> Breakpoints;
        double Value, Position;
    };
    const std::vector<double> equal{500, 1000, 1500, 2000}, unequal{10, 20, 50, 100};
    const TCase cases[] = {
        {"equal steps, between", equal, 750, 0.5},
        {"equal steps, on a breakpoint", equal, 1500, 2},
        {"equal steps, below the first", equal, 100, 0},
        {"equal steps, above the last", equal, 2600, 3},
        {"unequal steps, wide step", unequal, 35, 1.5},
        {"unequal steps, last step", unequal, 60, 2.2},
        {"unequal steps, last breakpoint", unequal, 100, 3},
        {"one breakpoint, below", {40}, 10, 0},
        {"one breakpoint, above", {40}, 90, 0},
        {"a dip is raised to the breakpoint before it", {10, 30, 20, 40}, 25, 0.75},
        {"on the flat stretch: its first breakpoint", {10, 30, 20, 40}, 30, 1},
        {"after the flat stretch", {10, 30, 20, 40}, 35, 2.5},
        {"all equal, on them", {10, 10, 10}, 10, 0},
        {"all equal, above", {10, 10, 10}, 11, 2},
        {"falling axis, inside", {30, 20, 10}, 25, 0},
        {"falling axis, above the first", {30, 20, 10}, 31, 2},
        {"a breakpoint that is not a number", {10, NaN, 30}, 20, 1.5},
        {"leading breakpoint that is not a number", {NaN, 10, 20}, 15, 1.5},
        {"no finite breakpoint", {NaN, Inf}, 5, 0},
        {"value not a number", equal, NaN, 0},
        {"value infinite", equal, Inf, 3},
        {"value minus infinite", equal, -Inf, 0},
        {"empty axis", {}, 5, 0},
    };
    for (const TCase& c : cases)
        EXPECT_DOUBLE_EQ(AxisPosition(c.Breakpoints, c.Value), c.Position) << c.Name;
}

TEST(OperatingPoint, NumberPositionWithoutAxis) {
    struct TCase {
        int Count;
        double Value, Position;
    };
    for (const TCase c :
         {TCase{16, 1, 0}, TCase{16, 3.5, 2.5}, TCase{16, 0, 0}, TCase{16, -4, 0},
          TCase{16, 16, 15}, TCase{16, 40, 15}, TCase{1, 5, 0}, TCase{0, 5, 0}, TCase{16, NaN, 0}})
        EXPECT_DOUBLE_EQ(NumberPosition(c.Count, c.Value), c.Position)
            << c.Count << " cells, value " << c.Value;
}

TEST(OperatingPoint, CellWeightsSumToOne) {
    struct TCase {
        const char* Name;
        TMapPoint Point;
        int Rows, Cols;
        std::vector<TCellWeight> Weights;
    };
    const TCase cases[] = {
        {"inside four cells",
         {1.25, 2.5},
         4,
         4,
         {{2, 1, 0.375}, {2, 2, 0.125}, {3, 1, 0.375}, {3, 2, 0.125}}},
        {"on a cell", {3, 2}, 4, 4, {{2, 3, 1}}},
        {"between two columns of a row", {0.8, 1}, 4, 4, {{1, 0, 0.2}, {1, 1, 0.8}}},
        {"last column and row", {3, 3}, 4, 4, {{3, 3, 1}}},
        {"beyond the map: clamped", {9, -2}, 4, 4, {{0, 3, 1}}},
        {"one column", {0.7, 1.5}, 4, 1, {{1, 0, 0.5}, {2, 0, 0.5}}},
        {"one row", {1.5, 0.3}, 1, 4, {{0, 1, 0.5}, {0, 2, 0.5}}},
        {"one cell", {0.4, 0.6}, 1, 1, {{0, 0, 1}}},
        {"no cells", {0, 0}, 0, 4, {}},
    };
    for (const TCase& c : cases) {
        const std::vector<TCellWeight> w = CellWeights(c.Point, c.Rows, c.Cols);
        ASSERT_EQ(w.size(), c.Weights.size()) << c.Name;
        double sum = 0;
        for (std::size_t k = 0; k < w.size(); ++k) {
            EXPECT_EQ(w[k].Row, c.Weights[k].Row) << c.Name << " #" << k;
            EXPECT_EQ(w[k].Col, c.Weights[k].Col) << c.Name << " #" << k;
            EXPECT_DOUBLE_EQ(w[k].Weight, c.Weights[k].Weight) << c.Name << " #" << k;
            sum += w[k].Weight;
        }
        if (!w.empty()) {
            EXPECT_DOUBLE_EQ(sum, 1.0) << c.Name;
        }
    }
    // The heaviest cell; of equal weights the first.
    EXPECT_EQ(HeaviestCell(CellWeights({0.8, 1}, 4, 4)), (TCellWeight{1, 1, 0.8}));
    EXPECT_EQ(HeaviestCell(CellWeights({1.5, 1}, 4, 4)), (TCellWeight{1, 1, 0.5}));
}

// A 3-column, 2-row layout whose columns lie 4 and 1 apart (uneven spacing).
std::vector<TCellPlacement> UnevenLayout(std::vector<MAP_SAMPLE>& Samples) {
    Samples = {{1.0}, {2.0}, {3.0}, {4.0}, {5.0}, {6.0}};
    TLayoutInput in;
    in.RowCount = 2;
    in.ColCount = 3;
    in.Samples = &Samples;
    in.ColumnSpacingAt = [](int i) { return i == 1 ? 4.0 : 1.0; };
    return LayoutCells(in);
}

TEST(OperatingPoint, ScenePointFollowsTheCellLayout) {
    std::vector<MAP_SAMPLE> samples;
    const std::vector<TCellPlacement> cells = UnevenLayout(samples);
    ASSERT_EQ(cells.size(), 6u);
    const double x0 = cells[0].Cell.X, x1 = cells[2].Cell.X, x2 = cells[4].Cell.X;
    const double z0 = cells[0].Cell.Z, z1 = cells[1].Cell.Z;
    ASSERT_DOUBLE_EQ(x1 - x0, 4.0);
    struct TCase {
        const char* Name;
        TMapPoint Point;
        TPoint3 Expected;
    };
    const TCase cases[] = {
        {"on a sample", {1, 1}, {x1, 4.0, z1}},
        // Samples (column, row): (0,0) 1, (0,1) 2, (1,0) 3, (1,1) 4, (2,0) 5, (2,1) 6.
        {"between columns 1 and 2", {1.5, 0}, {(x1 + x2) / 2, 4.0, z0}},
        {"inside four samples", {0.25, 0.5}, {x0 + 1.0, 0.75 * 1.5 + 0.25 * 3.5, (z0 + z1) / 2}},
        {"half a cell before the first column", {-0.5, 0}, {x0 - 0.5 * cells[0].Cell.R, 1.0, z0}},
        {"beyond the edge tiles: clamped",
         {9, 9},
         {x2 + 0.5 * cells[5].Cell.R, 6.0, z1 + 0.5 * cells[5].Cell.S}},
    };
    for (const TCase& c : cases) {
        const TPoint3 p = ScenePoint(cells, 2, 3, c.Point);
        EXPECT_DOUBLE_EQ(p.X, c.Expected.X) << c.Name;
        EXPECT_DOUBLE_EQ(p.Y, c.Expected.Y) << c.Name;
        EXPECT_DOUBLE_EQ(p.Z, c.Expected.Z) << c.Name;
    }
    // A layout that does not hold one cell per sample places nothing.
    EXPECT_EQ(ScenePoint(cells, 3, 3, {1, 1}), TPoint3{});
}

TEST(OperatingPoint, TrailKeepsTheNewestInOrder) {
    TTrail trail;
    EXPECT_EQ(trail.Capacity(), 32);
    trail.SetCapacity(3);
    for (double col : {1.0, 2.0, 2.0, 3.0, 4.0})
        trail.Add({col, 0});
    // The repeated position counts once; the oldest goes first.
    EXPECT_EQ(trail.Points(), (std::deque<TMapPoint>{{2, 0}, {3, 0}, {4, 0}}));
    trail.SetCapacity(257);
    trail.SetCapacity(-1);
    EXPECT_EQ(trail.Capacity(), 3);
    trail.SetCapacity(1);
    EXPECT_EQ(trail.Points(), (std::deque<TMapPoint>{{4, 0}}));
    trail.SetCapacity(0);
    trail.Add({5, 0});
    EXPECT_TRUE(trail.Points().empty());
    trail.SetCapacity(256);
    for (int i = 0; i < 300; ++i)
        trail.Add({static_cast<double>(i), 0});
    ASSERT_EQ(trail.Points().size(), 256u);
    EXPECT_EQ(trail.Points().front().Col, 44);
    EXPECT_EQ(trail.Points().back().Col, 299);
}

TEST(OperatingPoint, OverlayLightsTheWeighedCells) {
    std::vector<MAP_SAMPLE> samples;
    const std::vector<TCellPlacement> cells = UnevenLayout(samples);
    TTrail trail;
    trail.Add({0, 0});
    trail.Add({0.5, 0.5});
    const TLiveOverlay live = BuildLiveOverlay(cells, 2, 3, {0.5, 0.5}, trail, {0, 0, 1});
    ASSERT_TRUE(live.Visible);
    EXPECT_EQ(live.Marker, ScenePoint(cells, 2, 3, {0.5, 0.5}));
    ASSERT_EQ(live.Trail.size(), 2u);
    EXPECT_EQ(live.Trail.front(), ScenePoint(cells, 2, 3, {0, 0}));
    EXPECT_EQ(live.Trail.back(), live.Marker);
    ASSERT_EQ(live.LitCells.size(), 4u);
    for (const TLitCell& lit : live.LitCells) {
        EXPECT_DOUBLE_EQ(lit.Weight, 0.25);
        ASSERT_EQ(lit.Patch.size(), static_cast<std::size_t>(lit.Side * lit.Side));
    }
    // The first lit cell is the sample at (0, 0): its patch's middle point is the sample.
    const TLitCell& first = live.LitCells.front();
    EXPECT_EQ(first.Patch[first.Patch.size() / 2],
              (TPoint3{cells[0].Cell.X, 1.0, cells[0].Cell.Z}));
    EXPECT_FALSE(BuildLiveOverlay(cells, 2, 2, {0, 0}, trail, {}).Visible);
}

} // namespace
} // namespace qor::test
