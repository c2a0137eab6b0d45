#pragma once
// The surface mesh of one map cell as plain data: the grid-line segments on its tile
// borders and the flat-coloured triangles of its tile. Nothing here needs a GL context;
// the frame draws exactly these numbers.

#include <cstdint>
#include <vector>

namespace qor {

struct TPoint3 {
    double X = 0, Y = 0, Z = 0;
    bool operator==(const TPoint3&) const = default;
};

struct TMeshSegment {
    TPoint3 A, B;
};

struct TMeshTriangle {
    // The height of the sample whose tile the triangle belongs to; its colour is
    // HeightColor of that height.
    double ColorHeight = 0;
    // Unit normal of the triangle's plane with a negative y component.
    TPoint3 Normal;
    TPoint3 V[3];
    // Which of the cell's triangle groups (0, 1, 2) it comes from; each group is one
    // GL_TRIANGLES batch in the literal drawing.
    std::uint8_t Group = 0;
};

// Where one cell sits and what its neighbours are: sample index I (column-major), its
// position X, Z, the heights G (itself), D (next row), F (next column), E (diagonal),
// the cell's extent R along x and S along z, and the map's dimensions.
struct TCellArgs {
    int I = 0;
    double Z = 0, X = 0;
    double D = 0, E = 0, F = 0, G = 0;
    double R = 4, S = 2;
    int RowCount = 1, ColCount = 1;
};

// Position of a cell in its map.
struct TCellPosition {
    bool LastRow, LastCol, FirstCol, FirstRow, Corner;
};
TCellPosition CellPositionOf(const TCellArgs& Cell);

// Appends the cell's grid-line segments, in drawing order.
void AppendCellLines(const TCellArgs& Cell, std::vector<TMeshSegment>& Out);
// Appends the cell's surface triangles, in drawing order.
void AppendCellTriangles(const TCellArgs& Cell, std::vector<TMeshTriangle>& Out);

// The unit normal of the plane through A, B, C, turned so that its y component is not
// positive; (0, -1, 0) for a degenerate triangle.
TPoint3 DownwardNormal(const TPoint3& A, const TPoint3& B, const TPoint3& C);

} // namespace qor
