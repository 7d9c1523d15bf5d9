#include "export/gltf_placement.h"

#include <cmath>
#include <cstdint>
#include <numbers>

namespace kon {

namespace {

using Quaternion = std::array<double, 4>;  // x, y, z, w

Quaternion Multiply(const Quaternion& a, const Quaternion& b) {
    return {a[3] * b[0] + a[0] * b[3] + a[1] * b[2] - a[2] * b[1],
            a[3] * b[1] - a[0] * b[2] + a[1] * b[3] + a[2] * b[0],
            a[3] * b[2] + a[0] * b[1] - a[1] * b[0] + a[2] * b[3],
            a[3] * b[3] - a[0] * b[0] - a[1] * b[1] - a[2] * b[2]};
}

// A turn of `degrees` about Kon axis `axis` (0 = X, 1 = Y, 2 = Z).
Quaternion AboutAxis(int axis, double degrees) {
    if (!std::isfinite(degrees)) return {0.0, 0.0, 0.0, 1.0};
    // Whole turns are dropped first so large angles keep their precision.
    const double half = std::fmod(degrees, 360.0) * std::numbers::pi / 360.0;
    Quaternion q = {0.0, 0.0, 0.0, std::cos(half)};
    q[static_cast<std::size_t>(axis)] = std::sin(half);
    return q;
}

double Finite(double value, double fallback) {
    return std::isfinite(value) ? value : fallback;
}

}  // namespace

GltfPlacement ToGltfPlacement(const CObFormat& format) {
    GltfPlacement placement;
    // (x, y, z) in Kon is (x, z, -y) in glTF: a proper rotation, so a turn
    // about Kon axis a is the same turn about the image of a.
    // -Y is negated as a 64-bit integer: the 32-bit lowest value has no
    // 32-bit negative, and a negated double would make 0 into -0.
    placement.move = {format.MoveX, format.MoveZ, -std::int64_t{format.MoveY}};
    const Quaternion kon = Multiply(AboutAxis(2, format.RotZ),
                                    Multiply(AboutAxis(1, format.RotY), AboutAxis(0, format.RotX)));
    Quaternion q = {kon[0], kon[2], -kon[1], kon[3]};
    const double length = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q) c /= length;
    placement.rotation = q;
    // Scaling along Kon's Y is scaling along glTF's Z; the sign flip of the
    // basis cancels in a diagonal.
    placement.scale = {Finite(format.ScalX, 1.0), Finite(format.ScalZ, 1.0),
                       Finite(format.ScalY, 1.0)};
    return placement;
}

}  // namespace kon
