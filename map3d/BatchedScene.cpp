#include "map3d/BatchedScene.h"

namespace qor {

namespace {

bool SameCells(const std::vector<TCellPlacement>& A, const std::vector<TCellPlacement>& B) {
    if (A.size() != B.size())
        return false;
    for (std::size_t k = 0; k < A.size(); ++k) {
        const TCellArgs &a = A[k].Cell, &b = B[k].Cell;
        if (a.I != b.I || a.X != b.X || a.Z != b.Z || a.D != b.D || a.E != b.E || a.F != b.F ||
            a.G != b.G || a.R != b.R || a.S != b.S || a.RowCount != b.RowCount ||
            a.ColCount != b.ColCount || A[k].Selected != B[k].Selected ||
            A[k].Changed != B[k].Changed)
            return false;
    }
    return true;
}

void Put(std::vector<float>& v, double X, double Y, double Z) {
    v.push_back(static_cast<float>(X));
    v.push_back(static_cast<float>(Y));
    v.push_back(static_cast<float>(Z));
}
void Put(std::vector<float>& v, const TPoint3& p) {
    Put(v, p.X, p.Y, p.Z);
}
void Put(std::vector<float>& v, const TRgb& c) {
    v.insert(v.end(), {c.R, c.G, c.B});
}

// The normal current after a frame of this scene: the literal drawing starts the next
// frame with it.
TPoint3 NormalAfter(const TSceneFrame& Frame, const TPoint3& BallNormal,
                    const TPoint3& ConeNormal) {
    if (Frame.Cells.empty())
        return {0, 0, 1};
    if (Frame.DrawTriangles) {
        std::vector<TMeshTriangle> last;
        AppendCellTriangles(Frame.Cells.back().Cell, last);
        return last.back().Normal;
    }
    if (Frame.DrawSpheres)
        return BallNormal;
    for (auto it = Frame.Cells.rbegin(); it != Frame.Cells.rend(); ++it)
        if (it->Selected)
            return ConeNormal;
    return {0, 0, 1};
}

} // namespace

bool TBatchedScene::Holds(const TSceneFrame& Frame) const {
    return FValid && FCellMin == Frame.CellMin && FCellMax == Frame.CellMax &&
           FDrawSpheres == Frame.DrawSpheres && FDrawTriangles == Frame.DrawTriangles &&
           FDynamicSphereColor == Frame.DynamicSphereColor && FSphereColor == Frame.SphereColor &&
           FSphereRadius == Frame.SphereRadius && FChangedColor == Frame.ChangedColor &&
           SameCells(FCells, Frame.Cells);
}

void TBatchedScene::Update(const TSceneFrame& Frame, const TPoint3& BallNormal,
                           const TPoint3& ConeNormal) {
    if (Holds(Frame))
        return;
    FCells = Frame.Cells;
    FCellMin = Frame.CellMin;
    FCellMax = Frame.CellMax;
    FDrawSpheres = Frame.DrawSpheres;
    FDrawTriangles = Frame.DrawTriangles;
    FDynamicSphereColor = Frame.DynamicSphereColor;
    FSphereColor = Frame.SphereColor;
    FSphereRadius = Frame.SphereRadius;
    FChangedColor = Frame.ChangedColor;
    FValid = true;
    for (auto* v : {&TrianglePositions, &TriangleNormals, &TriangleColors, &LinePositions,
                    &LineNormals, &MarkerPositions, &MarkerNormals, &MarkerColors})
        v->clear();
    MarkerIndices.clear();

    std::vector<TMeshTriangle> triangles;
    std::vector<TMeshSegment> segments;
    TPoint3 current = NormalAfter(Frame, BallNormal, ConeNormal);
    for (const TCellPlacement& placed : Frame.Cells) {
        const TCellArgs& cell = placed.Cell;
        triangles.clear();
        segments.clear();
        AppendCellTriangles(cell, triangles);
        AppendCellLines(cell, segments);
        for (const TMeshTriangle& t : triangles) {
            const TRgb c = HeightColor(t.ColorHeight, FCellMin, FCellMax);
            for (const TPoint3& v : t.V) {
                Put(TrianglePositions, v);
                Put(TriangleNormals, t.Normal);
                Put(TriangleColors, c);
            }
        }
        // In the literal order: cone, ball, lines, triangles.
        if (placed.Selected) {
            AddMarker(FCone, 1.0, cell, {1.0f, 0.0f, 0.0f});
            current = ConeNormal;
        }
        if (FDrawSpheres) {
            AddMarker(FBall, Frame.SphereRadius, cell, BallColorOf(Frame, placed));
            current = BallNormal;
        }
        for (const TMeshSegment& s : segments) {
            Put(LinePositions, s.A);
            Put(LinePositions, s.B);
            Put(LineNormals, current);
            Put(LineNormals, current);
        }
        if (FDrawTriangles && !triangles.empty())
            current = triangles.back().Normal;
    }
}

// The marker is only scaled and translated, so its normals stay those of the unit mesh.
void TBatchedScene::AddMarker(const TMarkerMesh& Mesh, double Scale, const TCellArgs& Cell,
                              const TRgb& Color) {
    const auto base = static_cast<std::uint32_t>(MarkerPositions.size() / 3);
    for (std::size_t k = 0; k < Mesh.Points.size(); ++k) {
        const TPoint3& p = Mesh.Points[k];
        Put(MarkerPositions, static_cast<float>(Cell.X) + static_cast<float>(Scale * p.X),
            static_cast<float>(Cell.G) + static_cast<float>(Scale * p.Y),
            static_cast<float>(Cell.Z) + static_cast<float>(Scale * p.Z));
        Put(MarkerNormals, Mesh.Normals[k]);
        Put(MarkerColors, Color);
    }
    for (std::uint32_t index : Mesh.Indices)
        MarkerIndices.push_back(base + index);
}

} // namespace qor
