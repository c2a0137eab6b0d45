#include "map3d/MarkerMesh.h"

#include <cmath>
#include <numbers>

namespace qor {

namespace {

void Triangle(TMarkerMesh& Mesh, std::uint32_t A, std::uint32_t B, std::uint32_t C) {
    Mesh.Indices.insert(Mesh.Indices.end(), {A, B, C});
}

} // namespace

TMarkerMesh UnitBall(int Slices, int Stacks) {
    TMarkerMesh ball;
    // Rings 1 ... Stacks - 1, each with Slices points, then the two poles.
    for (int j = 1; j < Stacks; ++j) {
        const double phi = std::numbers::pi * j / Stacks;
        for (int i = 0; i < Slices; ++i) {
            const double theta = 2 * std::numbers::pi * i / Slices;
            ball.Points.push_back(
                {std::sin(theta) * std::sin(phi), std::cos(theta) * std::sin(phi), std::cos(phi)});
        }
    }
    const auto top = static_cast<std::uint32_t>(ball.Points.size());
    ball.Points.push_back({0, 0, 1});
    ball.Points.push_back({0, 0, -1});
    const std::uint32_t bottom = top + 1;
    ball.Normals = ball.Points;

    const auto at = [&](int Ring, int Slice) {
        return static_cast<std::uint32_t>((Ring - 1) * Slices + Slice % Slices);
    };
    for (int i = 0; i < Slices; ++i)
        Triangle(ball, top, at(1, i), at(1, i + 1));
    for (int j = 1; j + 1 < Stacks; ++j)
        for (int i = 0; i < Slices; ++i) {
            Triangle(ball, at(j, i), at(j + 1, i), at(j + 1, i + 1));
            Triangle(ball, at(j, i), at(j + 1, i + 1), at(j, i + 1));
        }
    for (int i = 0; i < Slices; ++i)
        Triangle(ball, bottom, at(Stacks - 1, i + 1), at(Stacks - 1, i));
    return ball;
}

TMarkerMesh SelectionCone(int Slices, int Stacks) {
    const double base = 0.0, top = 0.2, height = 1.0;
    const double length = std::hypot(base - top, height);
    const double axial = (base - top) / length, radial = height / length;
    TMarkerMesh cone;
    // Rings 0 ... Stacks along the cylinder's own z axis, which the upright cone has as
    // its y axis: (x, y, z) of the cylinder becomes (x, z, -y).
    for (int j = 0; j <= Stacks; ++j) {
        const double z = height * j / Stacks;
        const double radius = base + (top - base) * j / Stacks;
        for (int i = 0; i < Slices; ++i) {
            const double theta = 2 * std::numbers::pi * i / Slices;
            const double s = std::sin(theta), c = std::cos(theta);
            cone.Points.push_back({radius * s, z, -radius * c});
            cone.Normals.push_back({radial * s, axial, -radial * c});
        }
    }
    const auto at = [&](int Ring, int Slice) {
        return static_cast<std::uint32_t>(Ring * Slices + Slice % Slices);
    };
    for (int j = 0; j < Stacks; ++j)
        for (int i = 0; i < Slices; ++i) {
            Triangle(cone, at(j, i), at(j + 1, i), at(j + 1, i + 1));
            Triangle(cone, at(j, i), at(j + 1, i + 1), at(j, i + 1));
        }
    return cone;
}

} // namespace qor
