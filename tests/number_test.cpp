// Numbers without printf or the locale: fixed-point text exactly as
// printf's "%.Nf" prints it, and text fields read exactly as strtoll and
// strtod read them (with a decimal comma), checked on random values.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "text/fixed_text.h"
#include "text/parse_number.h"

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
    char* end = nullptr;
    // The writer's inline forms must print what the general one prints.
    switch (decimals) {
        case 2:
            end = PutFixedOf<2>(text.data(), value, '.');
            break;
        case 4:
            end = PutFixedOf<4>(text.data(), value, '.');
            break;
        case 9:
            end = PutFixedOf<9>(text.data(), value, '.');
            break;
        default:
            end = PutFixed(text.data(), value, decimals, '.');
    }
    text.resize(static_cast<std::size_t>(end - text.data()));
    return text;
}

// Random bit patterns, everyday magnitudes, exact binary ties of the last
// printed digit and their neighbours; KONVERT_FIXED_SAMPLES runs more.
TEST(FixedTextTest, RandomValuesMatchPrintf) {
    const char* env = std::getenv("KONVERT_FIXED_SAMPLES");
    const long samples = env != nullptr ? std::atol(env) : 300000;
    std::mt19937_64 random(20240611);
    const int decimalsChoice[] = {2, 4, 4, 2, 0, 1, 3, 9};
    long mismatches = 0;
    for (long i = 0; i < samples; ++i) {
        double value = 0;
        const std::uint64_t bits = random();
        switch (i % 5) {
            case 0:
                value = std::bit_cast<double>(bits);
                break;
            case 4:  // what the archive holds as floats, whole numbers among them
                value = std::bit_cast<float>(static_cast<std::uint32_t>(bits));
                if ((bits & 0x700000000) == 0) value = std::round(value);
                break;
            case 1:
                value = std::ldexp(static_cast<double>(bits >> 11), -static_cast<int>(bits % 90));
                break;
            default:  // k / 2^n with up to 20 fraction bits: ties of 2 and 4 decimals among them
                value = std::ldexp(static_cast<double>(bits >> 34), -static_cast<int>(bits % 21));
                if (i % 5 == 3) value = std::nextafter(value, (bits & 1) != 0 ? 0.0 : 1e300);
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

TEST(FixedTextTest, IntegersAtTheirBounds) {
    std::string text(3 * kMaxIntegerChars, '\0');
    char* end = text.data();
    for (const std::int64_t value : {INT64_MIN, std::int64_t{0}, INT64_MAX})
        end = PutSigned(end, value);
    text.resize(static_cast<std::size_t>(end - text.data()));
    EXPECT_EQ(text, "-922337203685477580809223372036854775807");
}

double Real(std::string field) {
    return ParseCommaReal(field);
}

// Short plain fields take the inline path, the rest the clamping one; both
// must agree with strtoll clamped to 32 bits.
TEST(TextNumberTest, RandomIntegersMatchClampedStrtoll) {
    std::mt19937_64 random(31);
    const char* prefixes[] = {"", "", "-", "+", " ", "-0"};
    const char* suffixes[] = {"", "", "", "x", ",5", " "};
    EXPECT_EQ(ParseClampedInt("- 5"), 0);  // no blank between sign and digits
    for (int i = 0; i < 100000; ++i) {
        std::string text = prefixes[random() % 6];
        const int digits = static_cast<int>(random() % 13);
        for (int d = 0; d < digits; ++d) text += static_cast<char>('0' + random() % 10);
        text += suffixes[random() % 6];
        const long long wide = std::strtoll(text.c_str(), nullptr, 10);
        const auto expected =
            static_cast<std::int32_t>(std::clamp<long long>(wide, INT32_MIN, INT32_MAX));
        ASSERT_EQ(ParseClampedInt(text), expected) << text;
    }
}

TEST(TextNumberTest, RealsTakeCommaOrPointAndWhatStrtodTakes) {
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        const char* field;
        double value;
    } cases[] = {{" +2,25", 2.25},
                 {"1,2,3", 1.2},
                 {"1.5,3", 1.5},
                 {",5", 0.5},
                 {"abc", 0},
                 {".", 0},
                 {"e5", 0},
                 {"1e+", 1},
                 {"+-5", 0},
                 {"0x10", 0},
                 {"INF", inf},
                 {"-Infinity", -inf},
                 {"1e400", inf},
                 {"1e-400", 0},
                 {"3e-324", 4.9406564584124654e-324},
                 {"0,000000000000000000001e-304", 0},
                 {"0000000000000000000001e309", inf}};
    for (const auto& c : cases) EXPECT_EQ(Real(c.field), c.value) << c.field;
    EXPECT_TRUE(std::isnan(Real("nAn")));
    EXPECT_TRUE(std::signbit(Real("-nan")));
    EXPECT_TRUE(std::signbit(Real("-1e-999")));
    EXPECT_TRUE(std::signbit(Real("-0")));
    // No digits, no number: the sign in front does not make it -0.
    for (const char* field : {"-", "-x", "-,", "- 5", "+-1"}) {
        EXPECT_FALSE(std::signbit(Real(field))) << field;
    }
}

// The shortcut for short decimals and the library path must both give
// exactly what strtod gives.
TEST(TextNumberTest, RandomDecimalsMatchStrtod) {
    std::mt19937_64 random(77);
    for (int i = 0; i < 100000; ++i) {
        std::string text = (random() & 1) != 0 ? "-" : "";
        const int digits = 1 + static_cast<int>(random() % 22);
        const int mark = static_cast<int>(random() % static_cast<unsigned>(digits + 1));
        for (int d = 0; d < digits; ++d) {
            if (d == mark) text += '.';
            text += static_cast<char>('0' + random() % 10);
        }
        if (random() % 3 == 0) text += "e" + std::to_string(static_cast<int>(random() % 700) - 350);
        const double expected = std::strtod(text.c_str(), nullptr);
        for (char& c : text) c = c == '.' ? ',' : c;
        ASSERT_EQ(std::bit_cast<std::uint64_t>(Real(text)), std::bit_cast<std::uint64_t>(expected))
            << text;
    }
}

TEST(TextNumberTest, NearestFloatSaturatesOnlyBeyondRounding) {
    EXPECT_EQ(NearestFloat(0.1), 0.1f);
    EXPECT_EQ(NearestFloat(static_cast<double>(FLT_MAX) * (1 + 0x1p-25)), FLT_MAX);
    EXPECT_EQ(NearestFloat(-1e39), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(NearestFloat(0x1.ffffffp127), std::numeric_limits<float>::infinity());
    EXPECT_TRUE(std::isnan(NearestFloat(std::nan(""))));
}

}  // namespace
}  // namespace kon
