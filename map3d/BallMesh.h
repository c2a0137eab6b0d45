#pragma once
// The marker ball as an indexed triangle mesh, tessellated as GLU tessellates a sphere:
// Slices around the z axis, Stacks from the +z pole to the -z pole, normals pointing
// out. The batched drawing places one copy per cell instead of one GLU call per cell.

#include "map3d/MapMesh.h"

#include <cstdint>
#include <vector>

namespace qor {

struct TBallMesh {
    std::vector<TPoint3> Points;  // on the unit sphere
    std::vector<TPoint3> Normals; // equal to the points
    std::vector<std::uint32_t> Indices;
};

TBallMesh UnitBall(int Slices, int Stacks);

} // namespace qor
