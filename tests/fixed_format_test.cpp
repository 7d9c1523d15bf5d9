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
    std::string text;
    AppendFixed(text, value, decimals, '.');
    return text;
}

TEST(FixedFormatTest, KnownValuesMatchPrintf) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const struct {
        double value;
        int decimals;
        const char* text;
    } cases[] = {
        {1.5, 4, "1.5000"},
        {-0.5, 2, "-0.50"},
        {0.125, 2, "0.12"},
        {0.375, 2, "0.38"},
        {0.03125, 4, "0.0312"},
        {0.09375, 4, "0.0938"},
        {2.5, 0, "2"},
        {3.5, 0, "4"},
        {0.99995, 4, "1.0000"},
        {9.99999, 4, "10.0000"},
        {-0.0, 4, "-0.0000"},
        {-1e-7, 4, "-0.0000"},
        {4.9e-324, 2, "0.00"},
        {1e20, 2, "100000000000000000000.00"},
        {std::ldexp(1.0, 63) + 2048.0, 2, "9223372036854777856.00"},
        {std::numeric_limits<double>::infinity(), 4, "inf"},
        {-std::numeric_limits<double>::infinity(), 2, "-inf"},
        {nan, 4, "nan"},
        {std::copysign(nan, -1.0), 2, "-nan"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Fixed(c.value, c.decimals), c.text) << c.value;
        EXPECT_EQ(Printf(c.value, c.decimals), c.text) << c.value;
    }
    EXPECT_EQ(Fixed(std::numeric_limits<double>::max(), 2),
              Printf(std::numeric_limits<double>::max(), 2));
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
    std::string text;
    AppendSigned(text, std::numeric_limits<std::int64_t>::min());
    text += ' ';
    AppendSigned(text, 0);
    text += ' ';
    AppendSigned(text, std::numeric_limits<std::int64_t>::max());
    EXPECT_EQ(text, "-9223372036854775808 0 9223372036854775807");
}

}  // namespace
}  // namespace kon
