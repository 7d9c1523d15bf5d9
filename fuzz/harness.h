#pragma once
// Shared pieces of the fuzz targets: a check that stops the fuzzer.

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "model/kon_modell.h"

namespace kon::fuzz {

inline std::string Bytes(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// Stops the fuzzer with a message when a property does not hold.
void Require(bool condition, const char* what);

}  // namespace kon::fuzz
