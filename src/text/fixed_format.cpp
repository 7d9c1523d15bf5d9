#include "text/fixed_format.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <string_view>

namespace kon {

namespace {

__extension__ typedef unsigned __int128 Uint128;

// Up to this many decimals the scaled fraction (below 2^53 * 10^9 < 2^83)
// and its remainder fit 128 bits.
constexpr int kMaxFastDecimals = 9;
constexpr std::uint64_t kPow10[kMaxFastDecimals + 1] = {
    1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000};

constexpr int kMantissaBits = 52;
constexpr int kExponentBias = 1075;  // value = mantissa * 2^(biased - kExponentBias)
constexpr std::uint64_t kHiddenBit = std::uint64_t{1} << kMantissaBits;

constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

std::size_t DigitCount(std::uint64_t value) {
    std::size_t count = 1;
    for (;;) {
        if (value < 10) return count;
        if (value < 100) return count + 1;
        if (value < 1000) return count + 2;
        if (value < 10000) return count + 3;
        value /= 10000;
        count += 4;
    }
}

// Exactly `width` digits of value, zero-padded, two at a time from the right.
char* FormatPadded(char* out, std::uint64_t value, std::size_t width) {
    char* const end = out + width;
    char* pos = end;
    for (; width >= 2; width -= 2) {
        const auto pair = static_cast<std::size_t>(value % 100) * 2;
        value /= 100;
        *--pos = kDigitPairs[pair + 1];
        *--pos = kDigitPairs[pair];
    }
    if (width != 0) *--pos = static_cast<char>('0' + value % 10);
    return end;
}

char* FormatUnsigned(char* out, std::uint64_t value) {
    return FormatPadded(out, value, DigitCount(value));
}

char* FormatIntegerAndFraction(char* out, std::uint64_t integer, std::uint64_t fraction,
                               int decimals, char decimalMark) {
    out = FormatUnsigned(out, integer);
    if (decimals == 0) return out;
    *out++ = decimalMark;
    return FormatPadded(out, fraction, static_cast<std::size_t>(decimals));
}

// Exact rounding of mantissa * 2^exponent to `decimals` places with integer
// arithmetic; nullptr when the integer part does not fit 64 bits.
char* FormatFast(char* out, std::uint64_t mantissa, int exponent, int decimals, char decimalMark) {
    if (exponent >= 0) {
        // mantissa < 2^53, so the shifted value stays below 2^64.
        if (exponent > 11) return nullptr;
        return FormatIntegerAndFraction(out, mantissa << exponent, 0, decimals, decimalMark);
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
    return FormatIntegerAndFraction(out, integer, fraction, decimals, decimalMark);
}

// The library's fixed form is exact too; it serves the rare huge magnitudes.
char* FormatExact(char* out, double magnitude, int decimals, char decimalMark) {
    char* const end = out + kMaxFixedChars - 1;  // the sign is written already
    char* const last = std::to_chars(out, end, magnitude, std::chars_format::fixed, decimals).ptr;
    std::replace(out, last, '.', decimalMark);
    return last;
}

}  // namespace

char* FormatSigned(char* out, std::int64_t value) {
    if (value < 0) *out++ = '-';
    // The magnitude in unsigned arithmetic, so the most negative value works.
    const std::uint64_t magnitude = value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    return FormatUnsigned(out, magnitude);
}

char* FormatFixed(char* out, double value, int decimals, char decimalMark) {
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
    if (decimals <= kMaxFastDecimals) {
        if (char* end = FormatFast(out, mantissa, exponent, decimals, decimalMark)) return end;
    }
    return FormatExact(out, std::fabs(value), decimals, decimalMark);
}

void AppendSigned(std::string& out, std::int64_t value) {
    const std::size_t start = out.size();
    out.resize(start + kMaxIntegerChars);
    out.resize(static_cast<std::size_t>(FormatSigned(out.data() + start, value) - out.data()));
}

void AppendFixed(std::string& out, double value, int decimals, char decimalMark) {
    const std::size_t start = out.size();
    out.resize(start + kMaxFixedChars);
    char* const end = FormatFixed(out.data() + start, value, decimals, decimalMark);
    out.resize(static_cast<std::size_t>(end - out.data()));
}

}  // namespace kon
