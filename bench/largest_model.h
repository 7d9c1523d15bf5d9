#pragma once
// The largest models the two Kon forms allow, built in memory for the
// benchmarks and the conversion timings.

#include <cstddef>
#include <cstdint>

#include "model/kon_modell.h"

namespace kon::bench {

// An archive count word is signed 16-bit; the polygon stream has at most
// 65535 objects: 6 + 3 per triangle.
inline constexpr std::int32_t kMaxCount = 32767;
inline constexpr std::int32_t kMaxIndexObjects = 65535;
inline constexpr std::int32_t kTriangles = (kMaxIndexObjects - 6) / 3;

// 32767 points on a grid, 21843 triangles over it (neighbours share their
// edges), 32767 instances with varied reals; lines derived. It still fits an
// archive: every line array stays within 32767 records.
KonModell LargestModel();

// The points of LargestModel without lines and instances, and a single
// polygon walking `corners` pseudo-random points, so nearly every edge is new.
KonModell LongPolygonModel(std::size_t corners);

// 6 + corners + one per polygon beyond four corners: the archive's index
// object count, summed without overflow.
std::uint64_t IndexObjects(const KonModell& model);

}  // namespace kon::bench
