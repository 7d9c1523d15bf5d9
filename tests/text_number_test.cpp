#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "text/parse_number.h"

namespace kon {
namespace {

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
