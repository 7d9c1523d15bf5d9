#pragma once
// Numbers in the fields of a text file, read the same on every platform.

#include <cstdint>
#include <span>
#include <string_view>

namespace kon {

// Leading white space, an optional sign and decimal digits; the value is
// clamped to the 32-bit bounds while the digits accumulate; everything from
// the first other character on is ignored, and no digits give 0.
std::int32_t ParseClampedInt(std::string_view field);

// A real with a decimal comma or point: the first "," of the field counts as
// "." (the field may be changed so in place). Otherwise as C's strtod in the C locale, hexadecimal
// aside: white space, sign, digits with an optional point and exponent, or "inf", "infinity", "nan"
// in any case; overflow gives +-inf and underflow the nearest double; trailing characters are
// ignored and no digits give 0.
double ParseCommaReal(std::span<char> field);

// The nearest float, with +-inf where the double lies beyond its range.
float NearestFloat(double value);

}  // namespace kon
