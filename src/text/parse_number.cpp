#include "text/parse_number.h"

#include <algorithm>
#include <cfloat>
#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

#include "text/ascii_case.h"

namespace kon::number_detail {

namespace {

// White space as the C locale's isspace has it.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::size_t SkipSpace(std::string_view text, std::size_t i) {
    while (i < text.size() && IsSpace(text[i])) ++i;
    return i;
}

// "inf", "infinity" or "nan" in any case; anything else has no digits.
double ParseSpecial(std::string_view text) {
    if (StartsWithIgnoreCase(text, "inf")) return std::numeric_limits<double>::infinity();
    if (StartsWithIgnoreCase(text, "nan")) return std::numeric_limits<double>::quiet_NaN();
    return 0.0;
}

// The decimal number at the start of a field, as far as it goes.
struct DecimalToken {
    std::size_t end = 0;     // one past its last character
    std::size_t markAt = 0;  // position of the decimal mark, if any
    bool hasMark = false;
    bool hasExponent = false;
    std::size_t integerDigits = 0;
    std::size_t fractionDigits = 0;
    std::uint64_t digits = 0;  // their value, meaningful up to kExactRealDigits digits
    std::int64_t exponent = 0;

    bool HasDigits() const { return integerDigits + fractionDigits != 0; }
};

// Far beyond any double's exponent, and far from the int64 bounds even with
// a digit count added.
constexpr std::int64_t kExponentClamp = std::int64_t{1} << 40;

// Digits from i on, accumulated into `value` (wrapping harmlessly past 19).
std::size_t ScanDigits(std::string_view text, std::size_t& i, std::uint64_t& value) {
    const std::size_t start = i;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
    }
    return i - start;
}

DecimalToken ScanDecimal(std::string_view text, std::size_t i) {
    DecimalToken token;
    token.integerDigits = ScanDigits(text, i, token.digits);
    // Only the first "," counts as a point; a later one, or one after a
    // ".", ends the number just as a second "." would.
    if (i < text.size() && (text[i] == '.' || text[i] == ',')) {
        token.hasMark = true;
        token.markAt = i++;
        token.fractionDigits = ScanDigits(text, i, token.digits);
    }
    token.end = i;
    if (!token.HasDigits() || i >= text.size() || (text[i] != 'e' && text[i] != 'E')) return token;
    // An exponent counts only with at least one digit.
    std::size_t j = i + 1;
    bool negative = false;
    if (j < text.size() && (text[j] == '+' || text[j] == '-')) negative = text[j++] == '-';
    const std::size_t start = j;
    for (; j < text.size() && IsDigit(text[j]); ++j) {
        token.exponent = std::min(token.exponent * 10 + (text[j] - '0'), kExponentClamp);
    }
    if (j == start) return token;
    token.end = j;
    token.hasExponent = true;
    if (negative) token.exponent = -token.exponent;
    return token;
}

// Whether a number the library found out of range is too large rather than
// too small: its decimal order of magnitude, from the digits' positions.
bool IsOverflow(std::string_view text, std::size_t start, const DecimalToken& token) {
    std::int64_t order = token.exponent;
    std::size_t i = start;
    while (i < text.size() && text[i] == '0') ++i;
    const auto leadingZeros = static_cast<std::int64_t>(i - start);
    if (static_cast<std::size_t>(leadingZeros) < token.integerDigits) {
        return order + static_cast<std::int64_t>(token.integerDigits) - leadingZeros > 0;
    }
    i = token.markAt + 1;
    while (i < text.size() && text[i] == '0') ++i;
    return order - static_cast<std::int64_t>(i - token.markAt - 1) > 0;
}

}  // namespace

std::int32_t ParseClampedIntGeneral(std::string_view field) {
    std::size_t i = SkipSpace(field, 0);
    bool negative = false;
    if (i < field.size() && (field[i] == '+' || field[i] == '-')) negative = field[i++] == '-';
    // The magnitude stops growing at its bound (2^31 below zero, 2^31 - 1
    // above), so magnitude * 10 + 9 never leaves 64 bits.
    const std::uint64_t bound = negative ? std::uint64_t{1} << 31 : (std::uint64_t{1} << 31) - 1;
    std::uint64_t magnitude = 0;
    for (; i < field.size() && IsDigit(field[i]); ++i) {
        magnitude = std::min(magnitude * 10 + static_cast<std::uint64_t>(field[i] - '0'), bound);
    }
    const auto value = static_cast<std::int64_t>(magnitude);
    return static_cast<std::int32_t>(negative ? -value : value);
}

double ParseCommaRealGeneral(std::string_view text) {
    std::size_t i = SkipSpace(text, 0);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const DecimalToken token = ScanDecimal(text, i);
    double magnitude = 0.0;
    if (!token.HasDigits()) {
        // Without digits there is no number, and its sign does not count
        // either (as strtod gives +0 for "-x"); only inf and nan keep theirs.
        magnitude = token.hasMark ? 0.0 : ParseSpecial(text.substr(i));
        if (magnitude == 0.0) return 0.0;
    } else if (FLT_EVAL_METHOD == 0 && !token.hasExponent &&
               token.integerDigits + token.fractionDigits <= kExactRealDigits) {
        // Both operands are exact doubles, so the one division rounds correctly.
        magnitude = static_cast<double>(token.digits) / kExactPow10[token.fractionDigits];
    } else {
        // from_chars takes only a point: a comma is replaced in a copy, as the
        // text read may be compared with the file again, and read beside.
        std::string_view number = text.substr(i, token.end - i);
        std::string withPoint;
        if (token.hasMark && text[token.markAt] == ',') {
            withPoint = number;
            withPoint[token.markAt - i] = '.';
            number = withPoint;
        }
        const auto result =
            std::from_chars(number.data(), number.data() + number.size(), magnitude);
        if (result.ec == std::errc::result_out_of_range) {
            magnitude = IsOverflow(text, i, token) ? std::numeric_limits<double>::infinity() : 0.0;
        }
    }
    return negative ? -magnitude : magnitude;
}

float NearestFloatGeneral(double value) {
    constexpr double kMax = FLT_MAX;
    // Halfway between FLT_MAX and 2^128: from here on the float is infinite.
    constexpr double kOverflow = 0x1.ffffffp127;
    if (value >= kOverflow) return std::numeric_limits<float>::infinity();
    if (value <= -kOverflow) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(std::clamp(value, -kMax, kMax));
}

}  // namespace kon::number_detail
