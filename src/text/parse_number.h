#pragma once
// Numbers in the fields of a text file, read the same on every platform.
// The everyday forms ("-123", "12,3456") are read inline; everything else
// goes to the general readers.

#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kon {

namespace number_detail {

// Every integer of up to this many digits is below 2^31 - 1 and below 2^53.
inline constexpr std::size_t kPlainIntDigits = 9;
// Below 10^15 every integer is a double; so is 10^k up to 10^15.
inline constexpr std::size_t kExactRealDigits = 15;
inline constexpr double kExactPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

std::int32_t ParseClampedIntGeneral(std::string_view field);
double ParseCommaRealGeneral(std::string_view field);
float NearestFloatGeneral(double value);

inline bool IsDigit(char c) {
    return static_cast<unsigned char>(c - '0') < 10;
}

}  // namespace number_detail

// The everyday forms, read from pos on up to the first character that is
// not part of them: "-" and 1..kPlainIntDigits digits for an integer, "-",
// digits, one decimal mark and digits, kExactRealDigits digits at most, for
// a real. False for anything else (pos then stands anywhere).
inline bool ScanPlainInt(const char*& pos, const char* end, std::int32_t& value) {
    using namespace number_detail;
    const bool negative = pos != end && *pos == '-';
    if (negative) ++pos;
    const char* const start = pos;
    // Wraps harmlessly past 19 digits; more than kPlainIntDigits are refused below.
    std::uint64_t magnitude = 0;
    for (; pos != end && IsDigit(*pos); ++pos) {
        magnitude = magnitude * 10 + static_cast<std::uint64_t>(*pos - '0');
    }
    const auto digits = static_cast<std::size_t>(pos - start);
    if (digits == 0 || digits > kPlainIntDigits) return false;
    const auto small = static_cast<std::int32_t>(magnitude);  // below 10^9
    value = negative ? -small : small;
    return true;
}

inline bool ScanPlainReal(const char*& pos, const char* end, double& value) {
    using namespace number_detail;
    const bool negative = pos != end && *pos == '-';
    if (negative) ++pos;
    const char* const start = pos;
    std::uint64_t digits = 0;  // wraps harmlessly past 19 digits, refused below
    for (; pos != end && IsDigit(*pos); ++pos) {
        digits = digits * 10 + static_cast<std::uint64_t>(*pos - '0');
    }
    std::size_t count = static_cast<std::size_t>(pos - start);
    std::size_t decimals = 0;
    if (pos != end && (*pos == ',' || *pos == '.')) {
        const char* const mark = pos;
        for (++pos; pos != end && IsDigit(*pos); ++pos) {
            digits = digits * 10 + static_cast<std::uint64_t>(*pos - '0');
        }
        decimals = static_cast<std::size_t>(pos - mark - 1);
    }
    count += decimals;
    // Both operands are exact doubles, so the one division rounds correctly,
    // as strtod does.
    if (FLT_EVAL_METHOD != 0 || count == 0 || count > kExactRealDigits) return false;
    const double magnitude = static_cast<double>(digits) / kExactPow10[decimals];
    value = negative ? -magnitude : magnitude;
    return true;
}

// Leading white space, an optional sign and decimal digits; the value is
// clamped to the 32-bit bounds while the digits accumulate; everything from
// the first other character on is ignored, and no digits give 0.
inline std::int32_t ParseClampedInt(std::string_view field) {
    const char* pos = field.data();
    const char* const end = pos + field.size();
    std::int32_t value = 0;
    if (ScanPlainInt(pos, end, value) && pos == end) return value;
    return number_detail::ParseClampedIntGeneral(field);
}

// A real with a decimal comma or point: the first "," of the field counts as
// ".". Otherwise as C's strtod in the C locale, hexadecimal aside: white space, sign, digits with
// an optional point and exponent, or "inf", "infinity", "nan" in any case; overflow gives +-inf and
// underflow the nearest double; trailing characters are ignored and no digits give 0.
inline double ParseCommaReal(std::string_view field) {
    const char* pos = field.data();
    const char* const end = pos + field.size();
    double value = 0.0;
    if (ScanPlainReal(pos, end, value) && pos == end) return value;
    return number_detail::ParseCommaRealGeneral(field);
}

// The nearest float, with +-inf where the double lies beyond its range.
inline float NearestFloat(double value) {
    if (value >= -static_cast<double>(FLT_MAX) && value <= static_cast<double>(FLT_MAX)) {
        return static_cast<float>(value);
    }
    return number_detail::NearestFloatGeneral(value);
}

}  // namespace kon
