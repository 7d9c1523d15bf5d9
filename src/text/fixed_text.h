#pragma once
// Reals as text without printf or the locale, in fixed-point form byte for
// byte as printf's "%.Nf" prints them in the C locale (exact value, ties to
// even, "-0.0000", "inf", "-nan"). Integers: model/integer_text.h.

#include <cstddef>
#include <cstdint>
#include <limits>

#include "model/integer_text.h"

namespace kon {

// Decimals are clamped to this; more is never asked for.
inline constexpr int kMaxDecimals = 17;
// Sign, every integer digit of the largest double, mark and decimals.
inline constexpr std::size_t kMaxFixedChars =
    1 + std::numeric_limits<double>::max_exponent10 + 1 + 1 + kMaxDecimals;

// Writes value with `decimals` digits after decimalMark (printf's "." in the
// C locale; the text form uses ",") into at most kMaxFixedChars bytes of
// room the caller has made; returns the end of what it wrote.
char* PutFixed(char* out, double value, int decimals, char decimalMark);

}  // namespace kon
