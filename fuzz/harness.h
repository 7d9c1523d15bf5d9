#pragma once
// Shared pieces of the fuzz targets (and the model corpus walk): a check
// that stops the fuzzer, and a model's read-back through either form.

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

// Empty when `model`, written as an archive or as text, reads back with the
// same counts (and from text with the same points); else what differs.
std::string ReadsBack(const KonModell& model, bool archive);

}  // namespace kon::fuzz
