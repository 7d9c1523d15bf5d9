#pragma once
// The largest models the two Kon forms allow, built in memory for the
// benchmarks and the conversion timings.

#include <cstddef>
#include <cstdint>

#include "model/kon_modell.h"
#include "model/limits.h"

namespace kon::bench {

inline constexpr std::int32_t kMaxCount = kMaxItems;
// The polygon stream holds 6 + 3 objects per triangle.
inline constexpr std::int32_t kTriangles = static_cast<std::int32_t>((kMaxIndexObjects - 6) / 3);

// 32767 points on a grid, 21843 triangles over it (neighbours share their
// edges), 32767 instances with varied reals; lines derived. It still fits an
// archive: every line array stays within 32767 records.
KonModell LargestModel();

// The points of LargestModel without lines and instances, and a single
// polygon walking `corners` pseudo-random points, so nearly every edge is new.
KonModell LongPolygonModel(std::size_t corners);

}  // namespace kon::bench
