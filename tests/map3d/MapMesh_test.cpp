// The surface mesh and the cell layout as numbers: tiles, outlines, strips along the map's
// edges, reference spacing and normals.

#include "map3d/MapMesh.h"
#include "map3d/MapScene.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace qor {
namespace {

constexpr double Eps = 1e-9;

struct TBounds {
    double MinX = 1e9, MaxX = -1e9, MinY = 1e9, MaxY = -1e9, MinZ = 1e9, MaxZ = -1e9;
    void Add(const TPoint3& p) {
        MinX = std::min(MinX, p.X), MaxX = std::max(MaxX, p.X);
        MinY = std::min(MinY, p.Y), MaxY = std::max(MaxY, p.Y);
        MinZ = std::min(MinZ, p.Z), MaxZ = std::max(MaxZ, p.Z);
    }
};

double Area(const TMeshTriangle& t) {
    // Area of the triangle's shadow on the floor plane.
    const TPoint3 &a = t.V[0], &b = t.V[1], &c = t.V[2];
    return std::abs((b.X - a.X) * (c.Z - a.Z) - (c.X - a.X) * (b.Z - a.Z)) / 2;
}

std::vector<MAP_SAMPLE> Flat(int Count, double Height = 0) {
    return std::vector<MAP_SAMPLE>(static_cast<std::size_t>(Count), MAP_SAMPLE{Height, false});
}

std::vector<TCellPlacement> Layout(int Rows, int Cols, const std::vector<MAP_SAMPLE>& Samples,
                                   std::function<double(int)> Col = {},
                                   std::function<double(int)> Row = {}) {
    TLayoutInput in;
    in.RowCount = Rows;
    in.ColCount = Cols;
    in.Samples = &Samples;
    in.ColumnSpacingAt = std::move(Col);
    in.RowSpacingAt = std::move(Row);
    return LayoutCells(in);
}

struct TMesh {
    std::vector<TMeshTriangle> Triangles;
    std::vector<TMeshSegment> Segments;
};

TMesh MeshOf(const std::vector<TCellPlacement>& Cells) {
    TMesh m;
    for (const TCellPlacement& c : Cells) {
        AppendCellTriangles(c.Cell, m.Triangles);
        AppendCellLines(c.Cell, m.Segments);
    }
    return m;
}

TEST(MapMesh, SingleCellIsAFlatTileOfEightTrianglesOutlinedInEightPieces) {
    const auto samples = Flat(1, 3.5);
    const auto cells = Layout(1, 1, samples);
    ASSERT_EQ(cells.size(), 1u);
    EXPECT_DOUBLE_EQ(cells[0].Cell.X, -2);
    EXPECT_DOUBLE_EQ(cells[0].Cell.Z, -1);

    const TMesh mesh = MeshOf(cells);
    ASSERT_EQ(mesh.Triangles.size(), 8u);
    TBounds tile;
    double area = 0;
    for (const TMeshTriangle& t : mesh.Triangles) {
        for (const TPoint3& v : t.V)
            tile.Add(v);
        area += Area(t);
        EXPECT_DOUBLE_EQ(t.ColorHeight, 3.5);
        EXPECT_NEAR(t.Normal.Y, -1, Eps);
        // Every triangle touches the sample point.
        EXPECT_TRUE(std::any_of(std::begin(t.V), std::end(t.V), [](const TPoint3& v) {
            return v == TPoint3{-2, 3.5, -1};
        }));
    }
    EXPECT_DOUBLE_EQ(tile.MinX, -4);
    EXPECT_DOUBLE_EQ(tile.MaxX, 0);
    EXPECT_DOUBLE_EQ(tile.MinZ, -2);
    EXPECT_DOUBLE_EQ(tile.MaxZ, 0);
    EXPECT_DOUBLE_EQ(tile.MinY, 3.5);
    EXPECT_DOUBLE_EQ(tile.MaxY, 3.5);
    EXPECT_NEAR(area, 8, Eps); // covered once, no overlap

    // The outline: the four sides of the rectangle, each in two halves.
    ASSERT_EQ(mesh.Segments.size(), 8u);
    int onSide[4] = {}; // z = -2, z = 0, x = -4, x = 0
    for (const TMeshSegment& s : mesh.Segments) {
        const double length = std::hypot(s.B.X - s.A.X, s.B.Z - s.A.Z);
        int side = -1;
        if (s.A.Z == -2 && s.B.Z == -2)
            side = 0;
        else if (s.A.Z == 0 && s.B.Z == 0)
            side = 1;
        else if (s.A.X == -4 && s.B.X == -4)
            side = 2;
        else if (s.A.X == 0 && s.B.X == 0)
            side = 3;
        ASSERT_GE(side, 0) << "segment off the outline";
        ++onSide[side];
        EXPECT_DOUBLE_EQ(length, side < 2 ? 2 : 1);
    }
    EXPECT_EQ(std::vector<int>(onSide, onSide + 4), (std::vector<int>{2, 2, 2, 2}));
}

// Position tests of each cell for a few shapes: first/last row and column, corner.
TEST(MapMesh, CellPositionsOfEveryShape) {
    struct TCase {
        int Rows, Cols, I;
        TCellPosition Expected;
    };
    const TCase cases[] = {
        {1, 1, 0, {true, true, true, true, true}},
        {1, 4, 0, {true, false, true, true, true}},
        {1, 4, 2, {true, false, false, true, false}},
        {1, 4, 3, {true, true, false, true, false}},
        {4, 1, 0, {false, true, true, true, true}},
        {4, 1, 3, {true, true, true, false, false}},
        {3, 3, 4, {false, false, false, false, false}},
        {3, 3, 8, {true, true, false, false, false}},
        {3, 3, 6, {false, true, false, true, false}},
    };
    for (const TCase& c : cases) {
        TCellArgs cell;
        cell.RowCount = c.Rows, cell.ColCount = c.Cols, cell.I = c.I;
        const TCellPosition p = CellPositionOf(cell);
        SCOPED_TRACE(std::to_string(c.Rows) + "x" + std::to_string(c.Cols) +
                     " i=" + std::to_string(c.I));
        EXPECT_EQ(p.LastRow, c.Expected.LastRow);
        EXPECT_EQ(p.LastCol, c.Expected.LastCol);
        EXPECT_EQ(p.FirstCol, c.Expected.FirstCol);
        EXPECT_EQ(p.FirstRow, c.Expected.FirstRow);
        EXPECT_EQ(p.Corner, c.Expected.Corner);
    }
}

// Whatever the shape, the tiles cover the rectangle from half a spacing before the first
// sample to half a spacing after the last one exactly once, and the outline is closed.
TEST(MapMesh, TilesCoverTheMapOnceForEveryShape) {
    struct TCase {
        int Rows, Cols;
    };
    for (const TCase c : {TCase{1, 5}, TCase{5, 1}, TCase{2, 2}, TCase{3, 4}, TCase{16, 16}}) {
        SCOPED_TRACE(std::to_string(c.Rows) + "x" + std::to_string(c.Cols));
        const auto samples = Flat(c.Rows * c.Cols, 1);
        const TMesh mesh = MeshOf(Layout(c.Rows, c.Cols, samples));
        TBounds all;
        double area = 0;
        for (const TMeshTriangle& t : mesh.Triangles) {
            for (const TPoint3& v : t.V)
                all.Add(v);
            area += Area(t);
        }
        // The first sample lies at -width / 2, so everything is off by half a tile.
        const double width = c.Cols * DefaultColSpacing, depth = c.Rows * DefaultRowSpacing;
        const double left = -width / 2 - DefaultColSpacing / 2, right = left + width;
        const double front = -depth / 2 - DefaultRowSpacing / 2, back = front + depth;
        EXPECT_NEAR(all.MinX, left, Eps);
        EXPECT_NEAR(all.MaxX, right, Eps);
        EXPECT_NEAR(all.MinZ, front, Eps);
        EXPECT_NEAR(all.MaxZ, back, Eps);
        EXPECT_NEAR(area, width * depth, 1e-6);
        // The segments on the outer border add up to its perimeter.
        double border = 0;
        for (const TMeshSegment& s : mesh.Segments) {
            const bool onX =
                (std::abs(s.A.X - left) < Eps || std::abs(s.A.X - right) < Eps) && s.A.X == s.B.X;
            const bool onZ =
                (std::abs(s.A.Z - front) < Eps || std::abs(s.A.Z - back) < Eps) && s.A.Z == s.B.Z;
            if (onX || onZ)
                border += std::hypot(s.B.X - s.A.X, s.B.Z - s.A.Z);
        }
        EXPECT_NEAR(border, 2 * (width + depth), 1e-6);
    }
}

// One row: each sample is first and last row at once, so the surface only varies along x:
// every vertex at a given x has the same height.
TEST(MapMesh, OneRowVariesOnlyAlongX) {
    std::vector<MAP_SAMPLE> samples{{1, false}, {3, false}, {2, false}};
    const TMesh mesh = MeshOf(Layout(1, 3, samples));
    std::vector<std::pair<double, double>> heightAtX;
    for (const TMeshTriangle& t : mesh.Triangles)
        for (const TPoint3& v : t.V)
            heightAtX.emplace_back(v.X, v.Y);
    for (const auto& [x, y] : heightAtX)
        for (const auto& [x2, y2] : heightAtX)
            if (x == x2) {
                EXPECT_DOUBLE_EQ(y, y2) << "at x = " << x;
            }
    // The midpoint between the first two samples lies halfway up.
    EXPECT_TRUE(std::any_of(heightAtX.begin(), heightAtX.end(),
                            [](auto p) { return p.first == -4 && p.second == 2; }));
}

// One column: the same along z; the outer half-tiles along x are flat at the sample.
TEST(MapMesh, OneColumnVariesOnlyAlongZ) {
    std::vector<MAP_SAMPLE> samples{{1, false}, {5, false}};
    const TMesh mesh = MeshOf(Layout(2, 1, samples));
    for (const TMeshTriangle& a : mesh.Triangles)
        for (const TPoint3& v : a.V)
            for (const TMeshTriangle& b : mesh.Triangles)
                for (const TPoint3& w : b.V)
                    if (v.Z == w.Z) {
                        EXPECT_DOUBLE_EQ(v.Y, w.Y) << "at z = " << v.Z;
                    }
    // Row border at z = -1 (between the samples at z = -2 and z = 0) at mid height.
    EXPECT_TRUE(std::any_of(mesh.Segments.begin(), mesh.Segments.end(), [](const TMeshSegment& s) {
        return s.A.Z == -1 && s.B.Z == -1 && s.A.Y == 3 && s.B.Y == 3;
    }));
}

// The first row's outer strip and the first column's strip are flat at the sample and as
// wide as half a spacing; an inner cell has neither.
TEST(MapMesh, FirstRowAndColumnStripsAreFlatHalfTiles) {
    std::vector<MAP_SAMPLE> samples;
    for (int i = 0; i < 9; ++i)
        samples.push_back({double(i), false});
    const auto cells = Layout(3, 3, samples);
    const auto strips = [&](int I, int Group) {
        std::vector<TMeshTriangle> out, all;
        AppendCellTriangles(cells[I].Cell, all);
        for (const auto& t : all)
            if (t.Group == Group)
                out.push_back(t);
        return out;
    };
    // Cell 3: column 2, row 1: has a first-row strip (z - 1 ... z), no column strip.
    const auto rowStrip = strips(3, 1);
    ASSERT_EQ(rowStrip.size(), 4u);
    const TCellArgs& c3 = cells[3].Cell;
    for (const auto& t : rowStrip)
        for (const TPoint3& v : t.V) {
            EXPECT_GE(v.Z, c3.Z - 1 - Eps);
            EXPECT_LE(v.Z, c3.Z + Eps);
        }
    EXPECT_TRUE(strips(3, 2).empty());
    // Cell 1: column 1, row 2: a column strip from x - 2 to x, rising from g to d.
    const auto colStrip = strips(1, 2);
    ASSERT_EQ(colStrip.size(), 4u);
    const TCellArgs& c1 = cells[1].Cell;
    for (const auto& t : colStrip)
        for (const TPoint3& v : t.V) {
            EXPECT_GE(v.X, c1.X - 2 - Eps);
            EXPECT_LE(v.X, c1.X + Eps);
            EXPECT_GE(v.Y, c1.G - Eps);
            EXPECT_LE(v.Y, c1.D + Eps);
        }
    EXPECT_TRUE(strips(4, 1).empty());
    EXPECT_TRUE(strips(4, 2).empty());
    // Colours: the quad of cell 4 takes g, f, e and d two triangles each.
    std::vector<TMeshTriangle> inner;
    AppendCellTriangles(cells[4].Cell, inner);
    ASSERT_EQ(inner.size(), 8u);
    const double expected[] = {4, 7, 7, 8, 8, 5, 5, 4};
    for (int k = 0; k < 8; ++k)
        EXPECT_DOUBLE_EQ(inner[k].ColorHeight, expected[k] * 1.0) << k;
}

// Layout with reference spacing: breakpoints 10, 20, 40, 45 along the columns and 5, 10,
// 10 along the rows (equal neighbours give 0, which becomes 1).
TEST(MapMesh, ReferenceSpacingPlacesColumnsAndRows) {
    const double cols[] = {10, 20, 40, 45};
    const double rows[] = {5, 10, 10};
    const auto colAt = [&](int i) {
        return i == 0 ? RefScale * 1.0 : (cols[i] - cols[i - 1]) / cols[0] * RefScale;
    };
    const auto rowAt = [&](int i) {
        return i == 0 ? RefScale * 0.5 : (rows[i] - rows[i - 1]) / rows[0] * RefScale * 0.5;
    };
    const auto samples = Flat(12);
    const auto cells = Layout(3, 4, samples, colAt, rowAt);
    ASSERT_EQ(cells.size(), 12u);
    // x starts at -(4 x ColumnSpacingAt(1)) / 2 = -8; steps 4, 8, 2; the last column's
    // extent is 1.
    const double xs[] = {-8, -4, 4, 6};
    const double rs[] = {4, 8, 2, 1};
    // z starts at -(3 x 2) / 2 = -3; row extents 2 (RowSpacingAt(1)), 1 (0 made 1), 1 (last).
    const double zs[] = {-3, -1, 0};
    const double ss[] = {2, 1, 1};
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 3; ++r) {
            const TCellArgs& cell = cells[c * 3 + r].Cell;
            SCOPED_TRACE("col " + std::to_string(c) + " row " + std::to_string(r));
            EXPECT_DOUBLE_EQ(cell.X, xs[c]);
            EXPECT_DOUBLE_EQ(cell.R, rs[c]);
            EXPECT_DOUBLE_EQ(cell.Z, zs[r]);
            EXPECT_DOUBLE_EQ(cell.S, ss[r]);
        }
    // The last column's outer half-tile reaches x + 0.5, the last row's z + 0.5.
    TBounds all;
    for (const auto& t : MeshOf(cells).Triangles)
        for (const TPoint3& v : t.V)
            all.Add(v);
    EXPECT_DOUBLE_EQ(all.MaxX, 6.5);
    EXPECT_DOUBLE_EQ(all.MaxZ, 0.5);
    EXPECT_DOUBLE_EQ(all.MinX, -10);
    EXPECT_DOUBLE_EQ(all.MinZ, -4);
}

// Equal first breakpoints give a first spacing of 0: the columns would fold onto each
// other, so it becomes 1 as every later zero spacing does.
TEST(MapMesh, ZeroFirstSpacingDoesNotFoldColumns) {
    const auto samples = Flat(3);
    const auto cells = Layout(1, 3, samples, [](int) { return 0.0; });
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_DOUBLE_EQ(cells[0].Cell.R, 1);
    EXPECT_LT(cells[0].Cell.X, cells[1].Cell.X);
    EXPECT_LT(cells[1].Cell.X, cells[2].Cell.X);
}

// Neighbour heights wrap at the end of a column and of the map, as the frame passes them;
// the samples must be complete or nothing is placed.
TEST(MapMesh, NeighboursWrapAndIncompleteSamplesPlaceNothing) {
    std::vector<MAP_SAMPLE> samples;
    for (int i = 0; i < 4; ++i)
        samples.push_back({10.0 + i, i == 2});
    const auto cells = Layout(2, 2, samples);
    ASSERT_EQ(cells.size(), 4u);
    const TCellArgs& last = cells[3].Cell;
    EXPECT_DOUBLE_EQ(last.G, 13);
    EXPECT_DOUBLE_EQ(last.D, 10); // (3 + 1) mod 4
    EXPECT_DOUBLE_EQ(last.F, 11); // (3 + 2) mod 4
    EXPECT_DOUBLE_EQ(last.E, 12); // (3 + 3) mod 4
    EXPECT_TRUE(cells[2].Selected);
    EXPECT_FALSE(cells[1].Selected);

    samples.pop_back();
    EXPECT_TRUE(Layout(2, 2, samples).empty());
}

TEST(MapMesh, NormalsOfFlatAndSlopedTilesPointDown) {
    const auto flat = Flat(12, 2.5);
    for (const auto& t : MeshOf(Layout(3, 4, flat)).Triangles) {
        EXPECT_NEAR(t.Normal.X, 0, Eps);
        EXPECT_NEAR(t.Normal.Y, -1, Eps);
        EXPECT_NEAR(t.Normal.Z, 0, Eps);
    }
    // A tile rising toward the next column: normals lean toward +x and are unit length.
    std::vector<MAP_SAMPLE> ramp{{0, false}, {0, false}, {4, false}, {4, false}};
    TCellArgs cell = Layout(2, 2, ramp)[0].Cell;
    std::vector<TMeshTriangle> triangles;
    AppendCellTriangles(cell, triangles);
    for (const auto& t : triangles) {
        const double length = std::hypot(t.Normal.X, t.Normal.Y, t.Normal.Z);
        EXPECT_NEAR(length, 1, Eps);
        EXPECT_LT(t.Normal.Y, 0);
        EXPECT_GE(t.Normal.X, -Eps);
    }
    const TPoint3 n = DownwardNormal({0, 0, 0}, {1, 0, 0}, {0, 1, 1});
    EXPECT_NEAR(n.Y, -std::sqrt(0.5), Eps);
    EXPECT_EQ(DownwardNormal({1, 1, 1}, {1, 1, 1}, {2, 2, 2}), (TPoint3{0, -1, 0}));
}

TEST(MapScene, HeightColorRampAndLift) {
    // CellMax 40, CellMin 0: a cell at 40 gets 128, at 0 white, at 20 halfway.
    EXPECT_EQ(HeightLevel(4.0, 0, 40), 128);
    EXPECT_EQ(HeightLevel(0.0, 0, 40), 255);
    EXPECT_EQ(HeightLevel(2.0, 0, 40), 191);
    EXPECT_EQ(HeightColor(4.0, 0, 40), (TRgb{1, 128 / 255.0f, 128 / 255.0f}));
    EXPECT_EQ(HeightLevel(7.0, 7, 7 * 10), 128);
    EXPECT_EQ(HeightLevel(3.0, 30, 30), 255); // all equal: white
    // Negative, non-whole values: CellMin -1 truncated from -1.9; the ramp would give a
    // level above 255 for -1.9, and below 0 for a height above CellMax.
    EXPECT_EQ(HeightLevel(-0.19, -1, 10), 255);
    EXPECT_EQ(HeightLevel(5.0, -1, 10), 0);
    EXPECT_EQ(SceneLift(255), 0.0f);
    EXPECT_EQ(SceneLift(0), 12.0f);
    EXPECT_EQ(SceneLift(40), 10.0f);
    EXPECT_EQ(SceneLift(-7), 13.0f); // (128 + 3) / 10
}

} // namespace
} // namespace qor
