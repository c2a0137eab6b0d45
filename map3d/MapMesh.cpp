#include "map3d/MapMesh.h"

#include <cmath>

namespace qor {

TCellPosition CellPositionOf(const TCellArgs& Cell) {
    const int n = Cell.RowCount, m = Cell.ColCount, i = Cell.I;
    return {(i + 1) % n == 0, i >= n * m - n, i < n, i % n == 0, i == 0};
}

TPoint3 DownwardNormal(const TPoint3& A, const TPoint3& B, const TPoint3& C) {
    const double ux = B.X - A.X, uy = B.Y - A.Y, uz = B.Z - A.Z;
    const double vx = C.X - A.X, vy = C.Y - A.Y, vz = C.Z - A.Z;
    TPoint3 n{uy * vz - uz * vy, uz * vx - ux * vz, ux * vy - uy * vx};
    const double length = std::sqrt(n.X * n.X + n.Y * n.Y + n.Z * n.Z);
    if (length == 0)
        return {0, -1, 0};
    const double sign = n.Y > 0 ? -1.0 : 1.0;
    return {sign * n.X / length, sign * n.Y / length, sign * n.Z / length};
}

namespace {

// The named points of a cell's quad.
struct TCellPoints {
    double x, z, r, s, d, e, f, g;
    TPoint3 P() const { return {x, g, z}; }
    TPoint3 F() const { return {x + r, f, z}; }
    TPoint3 D() const { return {x, d, z + s}; }
    TPoint3 E() const { return {x + r, e, z + s}; }
    TPoint3 Cq() const { return {x + r / 2, (g + f + e + d) / 4, z + s / 2}; }
    TPoint3 Mf() const { return {x + r / 2, (g + f) / 2, z}; }
    TPoint3 Md() const { return {x, (g + d) / 2, z + s / 2}; }
    TPoint3 Mfe() const { return {x + r, (f + e) / 2, z + s / 2}; }
    TPoint3 Mde() const { return {x + r / 2, (d + e) / 2, z + s}; }
};

TCellPoints PointsOf(const TCellArgs& c) {
    return {c.X, c.Z, c.R, c.S, c.D, c.E, c.F, c.G};
}

// "a, b" is one segment; "a, b, c" the two segments a-b and b-c.
void Polyline(std::vector<TMeshSegment>& Out, const TPoint3& A, const TPoint3& B) {
    Out.push_back({A, B});
}
void Polyline(std::vector<TMeshSegment>& Out, const TPoint3& A, const TPoint3& B,
              const TPoint3& C) {
    Out.push_back({A, B});
    Out.push_back({B, C});
}

class TTriangleSink {
public:
    TTriangleSink(std::vector<TMeshTriangle>& Out) : FOut(Out) {}
    void SetGroup(std::uint8_t Group) { FGroup = Group; }
    void Add(double ColorHeight, const TPoint3& A, const TPoint3& B, const TPoint3& C) {
        FOut.push_back({ColorHeight, DownwardNormal(A, B, C), {A, B, C}, FGroup});
    }

private:
    std::vector<TMeshTriangle>& FOut;
    std::uint8_t FGroup = 0;
};

} // namespace

void AppendCellLines(const TCellArgs& Cell, std::vector<TMeshSegment>& Out) {
    const TCellPosition at = CellPositionOf(Cell);
    const TCellPoints p = PointsOf(Cell);
    const double x = p.x, z = p.z, r = p.r, s = p.s, g = p.g, d = p.d, f = p.f;

    // Border toward the next row, at z + s/2.
    if (!at.LastRow && !at.LastCol)
        Polyline(Out, p.Md(), p.Cq(), p.Mfe());
    else if (!at.LastRow && at.LastCol)
        Polyline(Out, p.Md(), {x + r / 2, (g + d) / 2, z + s / 2});
    else if (at.LastRow && !at.LastCol)
        Polyline(Out, {x, g, z + s / 2}, {x + r / 2, (g + f) / 2, z + s / 2},
                 {x + r, f, z + s / 2});
    else
        Polyline(Out, {x, g, z + s / 2}, {x + r / 2, g, z + s / 2});
    if (at.FirstCol) {
        const double h = at.LastRow ? g : (g + d) / 2;
        Polyline(Out, {x - r / 2, h, z + s / 2}, {x, h, z + s / 2});
    }

    // Outer border before the first row, at z - s/2.
    if (at.FirstRow) {
        if (!at.LastCol)
            Polyline(Out, {x, g, z - s / 2}, {x + r / 2, (g + f) / 2, z - s / 2},
                     {x + r, f, z - s / 2});
        else
            Polyline(Out, {x, g, z - s / 2}, {x + r / 2, g, z - s / 2});
        if (at.FirstCol)
            Polyline(Out, {x - r / 2, g, z - s / 2}, {x, g, z - s / 2});
    }

    // Border toward the next column, at x + r/2, and the outer one at x - r/2.
    if (at.LastRow) {
        if (!at.LastCol)
            Polyline(Out, p.Mf(), {x + r / 2, (g + f) / 2, z + s / 2});
        else
            Polyline(Out, {x + r / 2, g, z}, {x + r / 2, g, z + s / 2});
        if (at.FirstCol)
            Polyline(Out, {x - r / 2, g, z}, {x - r / 2, g, z + s / 2});
    } else {
        if (!at.LastCol)
            Polyline(Out, p.Mf(), p.Cq(), p.Mde());
        else
            Polyline(Out, {x + r / 2, g, z}, {x + r / 2, (g + d) / 2, z + s / 2},
                     {x + r / 2, d, z + s});
        if (at.FirstCol)
            Polyline(Out, {x - r / 2, g, z}, {x - r / 2, (g + d) / 2, z + s / 2},
                     {x - r / 2, d, z + s});
    }

    // The column borders continued to the outer edge before the first row.
    if (at.FirstRow) {
        if (!at.LastCol)
            Polyline(Out, {x + r / 2, (g + f) / 2, z - s / 2}, p.Mf());
        else
            Polyline(Out, {x + r / 2, g, z - s / 2}, {x + r / 2, g, z});
        if (at.FirstCol)
            Polyline(Out, {x - r / 2, g, z - s / 2}, {x - r / 2, g, z});
    }
}

void AppendCellTriangles(const TCellArgs& Cell, std::vector<TMeshTriangle>& Out) {
    const TCellPosition at = CellPositionOf(Cell);
    const TCellPoints p = PointsOf(Cell);
    const double x = p.x, z = p.z, r = p.r, s = p.s, g = p.g, d = p.d, e = p.e, f = p.f;
    TTriangleSink t(Out);

    // The quad or half-strip toward the next row and column.
    t.SetGroup(0);
    if (!at.LastCol && !at.LastRow) {
        const TPoint3 cq = p.Cq();
        t.Add(g, p.P(), cq, p.Mf());
        t.Add(f, p.Mf(), cq, p.F());
        t.Add(f, p.F(), cq, p.Mfe());
        t.Add(e, p.Mfe(), cq, p.E());
        t.Add(e, p.E(), cq, p.Mde());
        t.Add(d, p.Mde(), cq, p.D());
        t.Add(d, p.D(), cq, p.Md());
        t.Add(g, p.Md(), cq, p.P());
    } else if (!at.LastCol && at.LastRow) {
        const TPoint3 a{x + r / 2, (g + f) / 2, z + s / 2};
        t.Add(g, p.P(), a, p.Mf());
        t.Add(f, p.Mf(), a, p.F());
        t.Add(f, p.F(), a, {x + r, f, z + s / 2});
        t.Add(g, {x, g, z + s / 2}, a, p.P());
    } else if (at.LastRow) {
        t.Add(g, p.P(), {x + r / 2, g, z + s / 2}, {x + r / 2, g, z});
        t.Add(g, {x, g, z + s / 2}, {x + r / 2, g, z + s / 2}, p.P());
    } else {
        const TPoint3 q{x + r / 2, (g + d) / 2, z + s / 2};
        t.Add(g, p.P(), q, {x + r / 2, g, z});
        t.Add(d, {x + r / 2, d, z + s}, q, p.D());
        t.Add(d, p.D(), q, p.Md());
        t.Add(g, p.Md(), q, p.P());
    }

    // The strip before the first row.
    if (at.FirstRow) {
        t.SetGroup(1);
        if (!at.LastCol) {
            const TPoint3 u{x + r / 2, (g + f) / 2, z - s / 2};
            t.Add(g, p.P(), u, p.Mf());
            t.Add(f, p.Mf(), u, p.F());
            t.Add(f, p.F(), u, {x + r, f, z - s / 2});
            t.Add(g, {x, g, z - s / 2}, u, p.P());
        } else {
            t.Add(g, p.P(), {x + r / 2, g, z - s / 2}, {x + r / 2, g, z});
            t.Add(g, {x, g, z - s / 2}, {x + r / 2, g, z - s / 2}, p.P());
        }
    }

    // The strip left of the first column: the corner piece, then the rest.
    if (at.FirstCol) {
        t.SetGroup(2);
        if (at.Corner) {
            t.Add(g, p.P(), {x - r / 2, g, z - s / 2}, {x - r / 2, g, z});
            t.Add(g, {x, g, z - s / 2}, {x - r / 2, g, z - s / 2}, p.P());
        }
        if (at.LastRow) {
            t.Add(g, p.P(), {x - r / 2, g, z + s / 2}, {x - r / 2, g, z});
            t.Add(g, {x, g, z + s / 2}, {x - r / 2, g, z + s / 2}, p.P());
        } else {
            const TPoint3 q{x - r / 2, (g + d) / 2, z + s / 2};
            t.Add(g, p.P(), q, {x - r / 2, g, z});
            t.Add(d, {x - r / 2, d, z + s}, q, p.D());
            t.Add(d, p.D(), q, p.Md());
            t.Add(g, p.Md(), q, p.P());
        }
    }
}

} // namespace qor
