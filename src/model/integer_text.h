#pragma once
// Integers as text without printf or the locale: the one formatter behind the
// text writer's fields and the numbers in messages ("%d", "%x").
//
// The Put* functions write into room the caller has made (at most
// kMaxIntegerChars bytes) and return the end of what they wrote.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace kon {

// Sign and the 20 digits of the largest 64-bit magnitude.
inline constexpr std::size_t kMaxIntegerChars = 21;

inline constexpr std::uint64_t kPow10[20] = {1u,
                                             10u,
                                             100u,
                                             1000u,
                                             10000u,
                                             100000u,
                                             1000000u,
                                             10000000u,
                                             100000000u,
                                             1000000000u,
                                             10000000000u,
                                             100000000000u,
                                             1000000000000u,
                                             10000000000000u,
                                             100000000000000u,
                                             1000000000000000u,
                                             10000000000000000u,
                                             100000000000000000u,
                                             1000000000000000000u,
                                             10000000000000000000u};

namespace integer_detail {

inline constexpr char kDigitPairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline void PutPair(char* out, std::uint64_t pair) {
    std::memcpy(out, kDigitPairs + 2 * pair, 2);
}

inline std::size_t DigitCount(std::uint64_t value) {
    // The bit length times log10(2) (1233 / 4096) is the count or one less;
    // or-ing in 1 lets 0 count as one digit and changes no other count.
    const auto bits = static_cast<std::size_t>(64 - std::countl_zero(value | 1));
    const std::size_t guess = (bits * 1233) >> 12;  // at most 19
    return guess + ((value | 1) >= kPow10[guess] ? 1 : 0);
}

}  // namespace integer_detail

namespace integer_detail {

// Digit pairs from the right; Word is the narrowest type that holds value,
// as dividing a 32-bit word is quicker than a 64-bit one.
template <typename Word>
char* PutDigits(char* out, Word value) {
    char* const end = out + DigitCount(value);
    char* pos = end;
    while (value >= 100) {
        pos -= 2;
        PutPair(pos, value % 100);
        value /= 100;
    }
    if (value >= 10) {
        PutPair(pos - 2, value);
    } else {
        pos[-1] = static_cast<char>('0' + value);
    }
    return end;
}

}  // namespace integer_detail

// Inline, as the text writer formats millions of fields with them; most of
// them have a digit or two.
inline char* PutUnsigned(char* out, std::uint64_t value) {
    if (value < 10) {
        *out = static_cast<char>('0' + value);
        return out + 1;
    }
    if (value <= UINT32_MAX)
        return integer_detail::PutDigits(out, static_cast<std::uint32_t>(value));
    return integer_detail::PutDigits(out, value);
}

inline char* PutSigned(char* out, std::int64_t value) {
    if (value < 0) *out++ = '-';
    // The magnitude in unsigned arithmetic, so the most negative value works.
    const std::uint64_t magnitude = value < 0 ? std::uint64_t{0} - static_cast<std::uint64_t>(value)
                                              : static_cast<std::uint64_t>(value);
    return PutUnsigned(out, magnitude);
}

// Exactly `width` digits of value (below 10^width), zero-padded, two at a
// time from the right.
inline char* PutPadded(char* out, std::uint64_t value, std::size_t width) {
    char* const end = out + width;
    char* pos = end;
    for (; width >= 2; width -= 2) {
        pos -= 2;
        integer_detail::PutPair(pos, value % 100);
        value /= 100;
    }
    if (width != 0) *--pos = static_cast<char>('0' + value % 10);
    return end;
}

// "%d" of a signed value.
std::string Decimal(std::int64_t value);
// "%x" of a 32-bit value, lower-case, no prefix.
std::string Hex(std::uint32_t value);
// "%x" of a Klassenmarke: taken as signed 16 bits, widened with sign to 32
// bits (0x8010 shows as ffff8010).
std::string MarkeHex(std::uint16_t marke);

}  // namespace kon
