#pragma once
// A scene frame as the vertex arrays the batched drawing sends in a few calls: the surface
// triangles, the grid lines and the markers (balls and cones), in the colours and with the
// normals the literal drawing gives them. Free of GL; kept while the scene stays the same.

#include "map3d/MapScene.h"
#include "map3d/MarkerMesh.h"

#include <cstdint>
#include <vector>

namespace qor {

class TBatchedScene {
public:
    // Rebuilds the arrays unless Frame shows what they already hold. BallNormal and
    // ConeNormal are the normals a GLU ball and a GLU cone leave current: the literal
    // drawing lights the grid lines after them with these.
    void Update(const TSceneFrame& Frame, const TPoint3& BallNormal, const TPoint3& ConeNormal);
    // True when the arrays hold what Frame shows.
    bool Holds(const TSceneFrame& Frame) const;

    // Three floats per vertex; triangles without indices.
    std::vector<float> TrianglePositions, TriangleNormals, TriangleColors;
    // Two vertices per segment, each with the normal that lights it.
    std::vector<float> LinePositions, LineNormals;
    // Balls and cones share one indexed triangle array.
    std::vector<float> MarkerPositions, MarkerNormals, MarkerColors;
    std::vector<std::uint32_t> MarkerIndices;

private:
    void AddMarker(const TMarkerMesh& Mesh, double Scale, const TCellArgs& Cell, const TRgb& Color);

    // What the arrays were built from.
    std::vector<TCellPlacement> FCells;
    int FCellMin = 0, FCellMax = 0;
    bool FDrawSpheres = false, FDrawTriangles = false, FDynamicSphereColor = false;
    TRgb FSphereColor;
    float FSphereRadius = 0;
    TRgb FChangedColor;
    bool FValid = false;

    TMarkerMesh FBall = UnitBall(5, 5);
    TMarkerMesh FCone = SelectionCone(5, 5);
};

} // namespace qor
