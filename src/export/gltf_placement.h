#pragma once
// An instance placement in glTF's terms: the Kon frame (millimetres, Z up)
// seen from glTF's (metres, Y up).

#include <array>
#include <cstdint>

#include "model/kon_modell.h"

namespace kon {

struct GltfPlacement {
    std::array<std::int64_t, 3> move = {0, 0, 0};           // millimetres (glTF: metres)
    std::array<double, 4> rotation = {0.0, 0.0, 0.0, 1.0};  // unit quaternion x, y, z, w
    std::array<double, 3> scale = {1.0, 1.0, 1.0};
};

// The angles are degrees about X, then Y, then Z of the Kon frame, applied in
// that order after the scale and before the move. A value that is not finite
// cannot be placed and counts as no rotation, no move or unit scale.
GltfPlacement ToGltfPlacement(const CObFormat& format);

}  // namespace kon
