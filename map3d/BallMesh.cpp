#include "map3d/BallMesh.h"

#include <cmath>
#include <numbers>

namespace qor {

TBallMesh UnitBall(int Slices, int Stacks) {
    TBallMesh ball;
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
    const auto triangle = [&](std::uint32_t a, std::uint32_t b, std::uint32_t c) {
        ball.Indices.insert(ball.Indices.end(), {a, b, c});
    };
    for (int i = 0; i < Slices; ++i)
        triangle(top, at(1, i), at(1, i + 1));
    for (int j = 1; j + 1 < Stacks; ++j)
        for (int i = 0; i < Slices; ++i) {
            triangle(at(j, i), at(j + 1, i), at(j + 1, i + 1));
            triangle(at(j, i), at(j + 1, i + 1), at(j, i + 1));
        }
    for (int i = 0; i < Slices; ++i)
        triangle(bottom, at(Stacks - 1, i + 1), at(Stacks - 1, i));
    return ball;
}

} // namespace qor
