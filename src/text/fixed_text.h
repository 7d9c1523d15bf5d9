#pragma once
// Reals as text without printf or the locale, in fixed-point form byte for
// byte as printf's "%.Nf" prints them in the C locale (exact value, ties to
// even, "-0.0000", "inf", "-nan"). Integers: model/integer_text.h.

#include <bit>
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

// PutFixed for a count of decimals known at compile time, inline: the text
// writer formats hundreds of thousands of reals, nearly all of them of
// everyday size, and those take a path of 64-bit words here.
template <int Decimals>
[[gnu::always_inline]] inline char* PutFixedOf(char* out, double value, char decimalMark) {
    static_assert(Decimals >= 1 && Decimals <= 9);
    constexpr std::uint64_t kScale = kPow10[Decimals];
    constexpr std::uint64_t kHidden = std::uint64_t{1} << 52;
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>((bits >> 52) & 0x7FF);
    const std::uint64_t fraction = bits & (kHidden - 1);
    // Infinities, NaNs and subnormals are rare: the general path has them.
    if (biased == 0x7FF || (biased == 0 && fraction != 0)) {
        return PutFixed(out, value, Decimals, decimalMark);
    }
    char* pos = out;
    // printf shows the sign of every value, zero included.
    if ((bits >> 63) != 0) *pos++ = '-';
    std::uint64_t whole = 0;
    std::uint64_t decimals = 0;
    if (biased != 0) {
        // value = mantissa * 2^-shift with an odd mantissa: a float's widened
        // mantissa loses 29 trailing zeros, a whole number all of them.
        std::uint64_t mantissa = fraction | kHidden;
        const int zeros = std::countr_zero(mantissa);
        mantissa >>= zeros;
        const int shift = 1075 - biased - zeros;
        if (shift <= 0) {
            // Whole: shifted left it must keep every bit.
            if (-shift > std::countl_zero(mantissa))
                return PutFixed(out, value, Decimals, decimalMark);
            whole = mantissa << -shift;
        } else {
            // Below 2^63 the product is exact, and from a shift of 64 on the
            // remainder would not fit a word.
            if (shift > 63 || mantissa >= (std::uint64_t{1} << 63) / kScale) {
                return PutFixed(out, value, Decimals, decimalMark);
            }
            const std::uint64_t scaled = mantissa * kScale;
            std::uint64_t rounded = scaled >> shift;
            const std::uint64_t remainder = scaled & ((std::uint64_t{1} << shift) - 1);
            const std::uint64_t half = std::uint64_t{1} << (shift - 1);
            // Ties to even, as printf rounds the exact value.
            if (remainder > half || (remainder == half && (rounded & 1) != 0)) ++rounded;
            whole = rounded / kScale;
            decimals = rounded % kScale;
        }
    }
    pos = PutUnsigned(pos, whole);
    *pos++ = decimalMark;
    return PutPadded(pos, decimals, Decimals);
}

}  // namespace kon
