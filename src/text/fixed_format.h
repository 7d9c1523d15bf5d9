#pragma once
// Decimal text of numbers without printf or the locale: integers, and reals
// in fixed-point form byte for byte as printf's "%.Nf" prints them in the C
// locale (exact value, ties to even, "-0.0000", "inf", "-nan").

#include <cstdint>
#include <string>

namespace kon {

void AppendUnsigned(std::string& out, std::uint64_t value);
void AppendSigned(std::string& out, std::int64_t value);

// Appends value with `decimals` digits after decimalMark (printf's "." in
// the C locale; the text form uses ","). decimals is clamped to 0..17.
void AppendFixed(std::string& out, double value, int decimals, char decimalMark);

}  // namespace kon
