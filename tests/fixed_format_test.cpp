#include "text/fixed_format.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

namespace kon {
namespace {

std::string Printf(double value, int decimals) {
    std::string text(400, '\0');
    const int length = std::snprintf(text.data(), text.size(), "%.*f", decimals, value);
    text.resize(static_cast<std::size_t>(length));
    return text;
}

std::string Fixed(double value, int decimals) {
    std::string text(kMaxFixedChars, '\0');
    text.resize(
        static_cast<std::size_t>(FormatFixed(text.data(), value, decimals, '.') - text.data()));
    return text;
}

TEST(FixedFormatTest, TiesSignsAndNonFiniteValuesMatchPrintf) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {{0.125, 2, "0.12"},
                 {0.375, 2, "0.38"},
                 {0.03125, 4, "0.0312"},
                 {2.5, 0, "2"},
                 {9.99999, 4, "10.0000"},
                 {-1e-7, 4, "-0.0000"},
                 {1e20, 2, "100000000000000000000.00"},
                 {nan, 4, "nan"},
                 {std::copysign(nan, -1.0), 2, "-nan"},
                 {-HUGE_VAL, 2, "-inf"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Fixed(c.value, c.decimals), c.text) << c.value;
        EXPECT_EQ(Printf(c.value, c.decimals), c.text) << c.value;
    }
}

// Random bit patterns, everyday magnitudes, exact binary ties of the last
// printed digit and their neighbours; KONVERT_FIXED_SAMPLES runs more.
TEST(FixedFormatTest, RandomValuesMatchPrintf) {
    const char* env = std::getenv("KONVERT_FIXED_SAMPLES");
    const long samples = env != nullptr ? std::atol(env) : 300000;
    std::mt19937_64 random(20240611);
    const int decimalsChoice[] = {2, 4, 4, 2, 0, 1, 3, 9};
    long mismatches = 0;
    for (long i = 0; i < samples; ++i) {
        double value = 0;
        const std::uint64_t bits = random();
        switch (i % 4) {
            case 0:
                value = std::bit_cast<double>(bits);
                break;
            case 1:
                value = std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>(bits % 90));
                break;
            default:  // k / 2^n with up to 20 fraction bits: ties of 2 and 4 decimals among them
                value = std::ldexp(static_cast<double>(bits >> 34), -static_cast<int>(bits % 21));
                if (i % 4 == 3) value = std::nextafter(value, (bits & 1) != 0 ? 0.0 : 1e300);
                if ((bits & 2) != 0) value = -value;
        }
        const int decimals = decimalsChoice[bits % 8];
        if (Fixed(value, decimals) != Printf(value, decimals) && ++mismatches < 5) {
            ADD_FAILURE() << std::hexfloat << value << " with " << decimals << ": "
                          << Fixed(value, decimals) << " vs " << Printf(value, decimals);
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(FixedFormatTest, IntegersAtTheirBounds) {
    std::string text(3 * kMaxIntegerChars, '\0');
    char* end = text.data();
    for (const std::int64_t value : {INT64_MIN, std::int64_t{0}, INT64_MAX})
        end = FormatSigned(end, value);
    text.resize(static_cast<std::size_t>(end - text.data()));
    EXPECT_EQ(text, "-922337203685477580809223372036854775807");
}

}  // namespace
}  // namespace kon
