#pragma once
// Triangles of one polygon given by its corners in space: convex polygons as
// fans, concave ones by ear clipping in the polygon's best-fit plane.

#include <array>
#include <cstddef>
#include <vector>

namespace kon {

using Vec3 = std::array<double, 3>;

// Ear clipping costs up to the cube of the corner count; a longer polygon is
// laid out as a fan, which still gives every corner but may overlap itself.
inline constexpr std::size_t kEarClipCornerLimit = 1024;

// Positions into `corners`, three per triangle, wound like the polygon about
// its Newell normal. A polygon without area (fewer than three corners, all on
// one line or point) gives no triangle; otherwise there are corners - 2.
std::vector<std::size_t> Triangulate(const std::vector<Vec3>& corners);

// The Newell normal: twice the polygon's vector area, zero when it has none.
Vec3 NewellNormal(const std::vector<Vec3>& corners);

}  // namespace kon
