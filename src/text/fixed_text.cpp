#include "text/fixed_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <string_view>

#include "model/integer_text.h"

namespace kon {

namespace {

__extension__ typedef unsigned __int128 Uint128;

// Up to this many decimals the scaled mantissa (below 2^53 * 10^9 < 2^83)
// fits 128 bits.
constexpr int kMaxFastDecimals = 9;
constexpr int kMantissaBits = 52;
constexpr int kExponentBias = 1075;  // value = mantissa * 2^(biased - kExponentBias)
constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << kMantissaBits;

// mantissa * 2^-shift * scale rounded to an integer, ties to even, with one
// 64x64->128-bit product; false when the result would not stay below 2^63.
bool RoundScaled(std::uint64_t mantissa, int shift, std::uint64_t scale, std::uint64_t& rounded) {
    // Everyday magnitudes take 1..63 bits of shift: 64-bit halves suffice.
    const Uint128 scaled = Uint128{mantissa} * scale;
    if (shift < 64) {
        const auto high = static_cast<std::uint64_t>(scaled >> 64);
        const auto low = static_cast<std::uint64_t>(scaled);
        if ((high >> (shift - 1)) != 0) return false;  // the result needs 64 bits or more
        rounded = (high << (64 - shift)) | (low >> shift);
        const std::uint64_t remainder = low & ((std::uint64_t{1} << shift) - 1);
        const std::uint64_t half = std::uint64_t{1} << (shift - 1);
        // The last printed digit is even exactly when the rounded value is.
        if (remainder > half || (remainder == half && (rounded & 1) != 0)) ++rounded;
        return true;
    }
    // The product is below 2^83, so from 84 bits of shift on it is less than
    // half a unit and rounds to zero, never to a tie.
    if (shift >= 84) {
        rounded = 0;
        return true;
    }
    rounded = static_cast<std::uint64_t>(scaled >> shift);  // below 2^19
    const Uint128 remainder = scaled - (Uint128{rounded} << shift);
    const Uint128 half = Uint128{1} << (shift - 1);
    if (remainder > half || (remainder == half && (rounded & 1) != 0)) ++rounded;
    return true;
}

// The rounded value split into integer digits, the mark and `decimals`
// fraction digits. The common counts have their own copies, so the split
// divides by a constant.
template <int Decimals>
char* PutScaled(char* out, std::uint64_t scaled, char decimalMark) {
    constexpr std::uint64_t kScale = kPow10[Decimals];
    out = PutUnsigned(out, scaled / kScale);
    if constexpr (Decimals != 0) {
        *out++ = decimalMark;
        out = PutPadded(out, scaled % kScale, Decimals);
    }
    return out;
}

char* PutScaledAny(char* out, std::uint64_t scaled, int decimals, char decimalMark) {
    switch (decimals) {
        case 2:
            return PutScaled<2>(out, scaled, decimalMark);
        case 4:
            return PutScaled<4>(out, scaled, decimalMark);
        default:
            break;
    }
    const std::uint64_t scale = kPow10[decimals];
    out = PutUnsigned(out, scaled / scale);
    if (decimals == 0) return out;
    *out++ = decimalMark;
    return PutPadded(out, scaled % scale, static_cast<std::size_t>(decimals));
}

// The library's fixed form is exact too; it serves the rare huge magnitudes.
char* PutExact(char* out, double magnitude, int decimals, char decimalMark) {
    char* const end = out + kMaxFixedChars - 1;  // the sign is written already
    char* const last = std::to_chars(out, end, magnitude, std::chars_format::fixed, decimals).ptr;
    std::replace(out, last, '.', decimalMark);
    return last;
}

}  // namespace

char* PutFixed(char* out, double value, int decimals, char decimalMark) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const auto biased = static_cast<int>((bits >> kMantissaBits) & 0x7FF);
    std::uint64_t mantissa = bits & (kHiddenBit - 1);
    // printf shows the sign of every value, NaN and zero included.
    if ((bits >> 63) != 0) *out++ = '-';
    if (biased == 0x7FF) {
        for (const char c : std::string_view(mantissa == 0 ? "inf" : "nan")) *out++ = c;
        return out;
    }
    int exponent = 1 - kExponentBias;  // subnormal
    if (biased != 0) {
        mantissa |= kHiddenBit;
        exponent = biased - kExponentBias;
    }
    // Whole numbers from 2^52 on are rare enough for the library's path.
    std::uint64_t scaled = 0;
    if (decimals <= kMaxFastDecimals && exponent < 0 &&
        RoundScaled(mantissa, -exponent, kPow10[decimals], scaled)) {
        return PutScaledAny(out, scaled, decimals, decimalMark);
    }
    return PutExact(out, std::fabs(value), decimals, decimalMark);
}

}  // namespace kon
