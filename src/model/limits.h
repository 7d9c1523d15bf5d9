#pragma once
// The limits of a Kon model, each with the reason it has.

#include <cstddef>
#include <cstdint>

namespace kon {

// An archive stores the number of points, instances and lines in signed
// 16-bit words, and a text file may not hold more than an archive can.
inline constexpr std::int32_t kMaxItems = 32767;
// The polygon index stream's object count is an unsigned 16-bit word.
inline constexpr std::uint64_t kMaxIndexObjects = 65535;

}  // namespace kon
