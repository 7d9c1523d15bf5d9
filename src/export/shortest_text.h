#pragma once
// Reals as the shortest text that reads back as the same value, byte for byte
// as std::to_chars(first, last, value) writes it ("0.1", "336.119", "1e-05",
// "-0"). Placements are written by the hundred thousand and the library's
// general routine was most of a glb's writing time; the magnitudes they have
// (1e-3 up to 1e5, where the shortest text has no exponent) take a quicker
// path here, and the rest is left to the library.

#include <cstddef>
#include <cstdint>

namespace kon {

// Sign, 17 significant digits, a point, leading zeros and an exponent.
inline constexpr std::size_t kMaxShortestChars = 32;

// Writes into at most kMaxShortestChars bytes of room the caller has made;
// returns the end of what it wrote.
char* PutShortest(char* out, double value);
char* PutShortest(char* out, float value);
// The same text for n / 1000.0, straight from the integer where it has no
// exponent; |n| below 2^53.
char* PutShortestThousandths(char* out, std::int64_t n);

}  // namespace kon
