#pragma once
// The markers of a cell as indexed triangle meshes, tessellated as GLU tessellates its
// quadrics: the ball (a sphere of Slices around the z axis and Stacks from the +z pole to
// the -z pole) and the selection cone (a cylinder of radius 0 at the cell point and 0.2
// one unit above it, stood upright). The batched drawing places one copy per cell instead
// of one GLU call per cell.

#include "map3d/MapMesh.h"

#include <cstdint>
#include <vector>

namespace qor {

struct TMarkerMesh {
    std::vector<TPoint3> Points;
    std::vector<TPoint3> Normals;
    std::vector<std::uint32_t> Indices; // triangles
};

// The unit sphere; its normals equal its points.
TMarkerMesh UnitBall(int Slices, int Stacks);
// The cone over a selected cell, in the cell's frame: along +y from 0 to 1.
TMarkerMesh SelectionCone(int Slices, int Stacks);

} // namespace qor
