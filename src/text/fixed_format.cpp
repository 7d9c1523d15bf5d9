#include "text/fixed_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <limits>

namespace kon {

namespace {

__extension__ typedef unsigned __int128 Uint128;

constexpr int kMaxDecimals = 17;
// Up to this many decimals the scaled fraction (below 2^53 * 10^9 < 2^83)
// and its remainder fit 128 bits.
constexpr int kMaxFastDecimals = 9;
constexpr std::uint64_t kPow10[kMaxFastDecimals + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

constexpr int kMantissaBits = 52;
constexpr int kExponentBias = 1075;  // value = mantissa * 2^(biased - kExponentBias)
constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << kMantissaBits;

std::size_t DigitCount(std::uint64_t value) {
    std::size_t count = 1;
    while (value >= 10) {
        value /= 10;
        ++count;
    }
    return count;
}

// Writes exactly `width` digits of value (zero-padded) into the string's tail.
void AppendPadded(std::string& out, std::uint64_t value, std::size_t width) {
    const std::size_t start = out.size();
    out.resize(start + width);
    for (std::size_t i = start + width; i > start; --i) {
        out[i - 1] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
}

void AppendIntegerAndFraction(std::string& out, std::uint64_t integer, std::uint64_t fraction,
                              int decimals, char decimalMark) {
    AppendUnsigned(out, integer);
    if (decimals == 0) return;
    out += decimalMark;
    AppendPadded(out, fraction, static_cast<std::size_t>(decimals));
}

// Exact rounding of mantissa * 2^exponent to `decimals` places with integer
// arithmetic. False when the integer part does not fit 64 bits.
bool AppendFast(std::string& out, std::uint64_t mantissa, int exponent, int decimals,
                char decimalMark) {
    if (exponent >= 0) {
        // mantissa < 2^53, so the shifted value stays below 2^64.
        if (exponent > 11) return false;
        AppendIntegerAndFraction(out, mantissa << exponent, 0, decimals, decimalMark);
        return true;
    }
    const int shift = -exponent;
    std::uint64_t integer = 0;
    std::uint64_t fraction = 0;
    // Beyond 84 bits of shift the scaled fraction (below 2^83) is less than a
    // half unit of the last place and rounds to zero, never to a tie.
    if (shift < 84) {
        const std::uint64_t fractionBits =
            shift < 64 ? mantissa & ((std::uint64_t{1} << shift) - 1) : mantissa;
        integer = shift < 64 ? mantissa >> shift : 0;
        const auto scale = kPow10[decimals];
        const Uint128 scaled = Uint128{fractionBits} * scale;
        fraction = static_cast<std::uint64_t>(scaled >> shift);
        const Uint128 remainder = scaled & ((Uint128{1} << shift) - 1);
        const Uint128 half = Uint128{1} << (shift - 1);
        const std::uint64_t lastDigit = decimals == 0 ? integer : fraction;
        if (remainder > half || (remainder == half && (lastDigit & 1) != 0)) {
            if (++fraction == scale) {
                fraction = 0;
                ++integer;
            }
        }
    }
    AppendIntegerAndFraction(out, integer, fraction, decimals, decimalMark);
    return true;
}

// The library's fixed form is exact too; it serves the rare huge magnitudes.
void AppendExact(std::string& out, double magnitude, int decimals, char decimalMark) {
    constexpr std::size_t kMaxIntegerDigits = std::numeric_limits<double>::max_exponent10 + 1;
    const std::size_t start = out.size();
    out.resize(start + kMaxIntegerDigits + 1 + static_cast<std::size_t>(decimals));
    const auto result = std::to_chars(out.data() + start, out.data() + out.size(), magnitude,
                                      std::chars_format::fixed, decimals);
    out.resize(static_cast<std::size_t>(result.ptr - out.data()));
    std::replace(out.begin() + static_cast<std::ptrdiff_t>(start), out.end(), '.', decimalMark);
}

}  // namespace

void AppendUnsigned(std::string& out, std::uint64_t value) {
    AppendPadded(out, value, DigitCount(value));
}

void AppendSigned(std::string& out, std::int64_t value) {
    if (value < 0) out += '-';
    // The magnitude in unsigned arithmetic, so the most negative value works.
    const std::uint64_t magnitude = value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    AppendUnsigned(out, magnitude);
}

void AppendFixed(std::string& out, double value, int decimals, char decimalMark) {
    decimals = std::clamp(decimals, 0, kMaxDecimals);
    const auto bits = std::bit_cast<std::uint64_t>(value);
    const bool negative = (bits >> 63) != 0;
    const auto biased = static_cast<int>((bits >> kMantissaBits) & 0x7FF);
    std::uint64_t mantissa = bits & (kHiddenBit - 1);
    // printf shows the sign of every value, NaN and zero included.
    if (negative) out += '-';
    if (biased == 0x7FF) {
        out += mantissa == 0 ? "inf" : "nan";
        return;
    }
    int exponent = 1 - kExponentBias;  // subnormal
    if (biased != 0) {
        mantissa |= kHiddenBit;
        exponent = biased - kExponentBias;
    }
    if (decimals <= kMaxFastDecimals &&
        AppendFast(out, mantissa, exponent, decimals, decimalMark)) {
        return;
    }
    AppendExact(out, std::fabs(value), decimals, decimalMark);
}

}  // namespace kon
