#pragma once
// Numbers as konvert's messages show them: "%d" and "%x" without printf or
// the locale.

#include <cstdint>
#include <string>

namespace kon {

// "%d" of a signed value.
std::string Decimal(std::int64_t value);
// "%x" of a 32-bit value, lower-case, no prefix.
std::string Hex(std::uint32_t value);
// "%x" of a Klassenmarke: taken as signed 16 bits, widened with sign to 32
// bits (0x8010 shows as ffff8010).
std::string MarkeHex(std::uint16_t marke);

}  // namespace kon
