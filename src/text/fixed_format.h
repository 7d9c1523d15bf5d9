#pragma once
// Decimal text of numbers without printf or the locale: integers, and reals
// in fixed-point form byte for byte as printf's "%.Nf" prints them in the C
// locale (exact value, ties to even, "-0.0000", "inf", "-nan").
//
// The Format* functions write into room the caller has made (at most the
// kMax*Chars bytes named) and return the end of what they wrote.

#include <cstddef>
#include <cstdint>
#include <limits>

namespace kon {

// Sign and the 20 digits of the largest 64-bit magnitude.
inline constexpr std::size_t kMaxIntegerChars = 21;
// Decimals are clamped to this; more is never asked for.
inline constexpr int kMaxDecimals = 17;
// Sign, every integer digit of the largest double, mark and decimals.
inline constexpr std::size_t kMaxFixedChars =
    1 + std::numeric_limits<double>::max_exponent10 + 1 + 1 + kMaxDecimals;

char* FormatSigned(char* out, std::int64_t value);
// Appends value with `decimals` digits after decimalMark (printf's "." in
// the C locale; the text form uses ",").
char* FormatFixed(char* out, double value, int decimals, char decimalMark);

}  // namespace kon
