#include "export/shortest_text.h"

#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/integer_text.h"

namespace kon {

namespace {

// GCC and Clang on every target kon is built for (MinGW-w64 too).
__extension__ typedef unsigned __int128 U128;

// Every real in [1e-3, 1e5) is shortest in fixed notation: its exponent form
// needs at least four more characters ("e-03", "e+04") and saves at most the
// leading "0.00" or nothing, and to_chars prefers fixed on a tie.
constexpr double kLowest = 1e-3;
constexpr double kBeyond = 1e5;

// n / 1000 with at most three decimals and no trailing zeros: "640.86".
char* PutThousandths(char* out, std::uint64_t n) {
    out = PutUnsigned(out, n / 1000);
    const auto fraction = static_cast<unsigned>(n % 1000);
    if (fraction == 0) return out;
    out[0] = '.';
    out[1] = static_cast<char>('0' + fraction / 100);
    out[2] = static_cast<char>('0' + fraction / 10 % 10);
    out[3] = static_cast<char>('0' + fraction % 10);
    return out + (fraction % 10 != 0 ? 4 : fraction % 100 != 0 ? 3 : 2);
}

// Wide is wide enough for 4m * 10^k: unsigned 64 bits for float (2^26 * 10^11
// < 2^63), 128 for double (2^55 * 10^19 < 2^119).
template <typename Real, typename Bits, typename Wide, int kFractionBits, int kBias,
          std::size_t kDigits>
char* PutShortestOf(char* out, Real value) {
    const double magnitude = std::fabs(static_cast<double>(value));
    if (!(magnitude >= kLowest && magnitude < kBeyond)) {
        return std::to_chars(out, out + kMaxShortestChars, value).ptr;
    }
    if (value < 0) *out++ = '-';
    if constexpr (sizeof(Real) == sizeof(double)) {
        // Placements in whole millimetres: when the value is the double
        // nearest to n / 1000, that decimal reads back as it, and no shorter
        // one does: any other lies at least 0.001 away, and half a unit of
        // the band's doubles is below 1e-11.
        const double n = std::round(magnitude * 1000.0);
        if (n / 1000.0 == magnitude) return PutThousandths(out, static_cast<std::uint64_t>(n));
    }
    // Inside the band every value is normal: magnitude = m * 2^e.
    const Bits bits = std::bit_cast<Bits>(value) & ~(Bits{1} << (sizeof(Bits) * 8 - 1));
    const Bits fraction = bits & ((Bits{1} << kFractionBits) - 1);
    const int binade = static_cast<int>(bits >> kFractionBits) - kBias;
    const std::uint64_t m = std::uint64_t{fraction} | std::uint64_t{1} << kFractionBits;
    // The reals that read back as this value lie between the midpoints to its
    // neighbours, (4m - 2) / 2^s and (4m + 2) / 2^s with s = 2 - e for
    // magnitude = m * 2^e; in the band s runs from 9 (float near 1e5) to 64
    // (double near 1e-3). Whether the midpoints themselves read back, and the
    // lower gap's halving at a power of two, change no text in the band: a
    // double's midpoint has more than 17 significant digits, and every float
    // of the band and every double power of two were checked against the
    // library.
    const int s = 2 + kFractionBits - binade;
    const std::uint64_t exact = 4 * m;
    // The midpoints times 10^k: c / 10^k reads back as the value when
    // c * 2^s lies strictly between them.
    const auto low = [&](std::size_t k) { return Wide{exact - 2} * kPow10[k]; };
    const auto high = [&](std::size_t k) { return Wide{exact + 2} * kPow10[k]; };
    // Some c / 10^k lies between the midpoints (then also for every larger
    // k): the largest c with c * 2^s below the upper one is above the lower.
    const auto fits = [&](std::size_t k) { return ((high(k) - 1) >> s << s) > low(k); };
    // The fewest decimals, searched from where most values end: kDigits
    // significant digits after the first, which is at 10^d with d about
    // binade * log10(2). With every significant digit and two leading zeros,
    // k never passes 19 (double) or 11 (float).
    const int d = binade * 1233 >> 12;  // floor, also below zero
    const int guess = static_cast<int>(kDigits) - 1 - d;
    std::size_t k = guess > 0 ? static_cast<std::size_t>(guess) : 0;
    if (fits(k)) {
        while (k > 0 && fits(k - 1)) --k;
    } else {
        do ++k;
        while (!fits(k));
    }
    // Of the candidates with k decimals, the nearest to the value (ties to
    // even); when it falls outside the gap, its neighbour is inside.
    const Wide scaled = Wide{exact} * kPow10[k];
    Wide c = scaled >> s;
    const Wide unit = Wide{1} << s;
    const Wide rest = scaled & (unit - 1);
    const bool up = rest > unit / 2 || (rest == unit / 2 && c % 2 == 1);
    const Wide lowest = low(k);
    const Wide highest = high(k);
    const auto inside = [&](Wide candidate) {
        const Wide at = candidate << s;
        return at > lowest && at < highest;
    };
    if (up ? inside(c + 1) : !inside(c)) ++c;
    // c has at most 17 significant digits and the integer part is below 1e5:
    // its digits, with the point put in k places from the right.
    const auto digits = static_cast<std::uint64_t>(c);
    const std::size_t n = integer_detail::DigitCount(digits);
    if (n <= k) {
        // Below 1 and at least 1e-3: at most two zeros between the point and
        // the first digit.
        std::memcpy(out, "0.00", 4);
        return PutUnsigned(out + 2 + (k - n), digits);
    }
    char* const end = PutUnsigned(out, digits);
    if (k == 0) return end;
    std::memmove(end - k + 1, end - k, k);
    end[-static_cast<std::ptrdiff_t>(k)] = '.';
    return end + 1;
}

}  // namespace

char* PutShortest(char* out, double value) {
    return PutShortestOf<double, std::uint64_t, U128, 52, 1023, 16>(out, value);
}

char* PutShortest(char* out, float value) {
    return PutShortestOf<float, std::uint32_t, std::uint64_t, 23, 127, 8>(out, value);
}

char* PutShortestThousandths(char* out, std::int64_t n) {
    if (n == 0) {
        *out = '0';
        return out + 1;
    }
    // From 0.001 up to below 1e5 the text is fixed (as in PutShortestOf),
    // and n / 1000.0 is the double nearest to the decimal n / 1000.
    const auto bits = static_cast<std::uint64_t>(n);
    const std::uint64_t magnitude = n < 0 ? 0 - bits : bits;
    if (magnitude >= 100000000) return PutShortest(out, static_cast<double>(n) / 1000.0);
    if (n < 0) *out++ = '-';
    return PutThousandths(out, magnitude);
}

}  // namespace kon
