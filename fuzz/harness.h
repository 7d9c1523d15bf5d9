#pragma once
// Shared pieces of the fuzz targets: model comparison for the round trips.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "model/kon_modell.h"

namespace kon::fuzz {

inline std::string Bytes(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Points, instances and lines field for field (floats by their bits), and the
// polygons in the order the archive stores them: by size class, stable.
bool SameModel(const KonModell& a, const KonModell& b);

// Stops the fuzzer with a message when a property does not hold.
void Require(bool condition, const char* what);

}  // namespace kon::fuzz
