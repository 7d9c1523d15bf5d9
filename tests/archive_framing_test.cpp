// The read-and-compare checks: what they print, what they consume, and that a
// value cut short is never compared.

#include "archive/framing_checks.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/captured_console.h"

namespace kon::test {
namespace {

struct CheckCase {
    const char* name;
    std::string bytes;
    std::function<CheckResult(ArchiveInput&)> check;
    CheckResult result;
    std::string printed;
    std::size_t consumed;
};

void PrintTo(const CheckCase& c, std::ostream* os) {
    *os << c.name;
}

class FramingCheckTest : public ::testing::TestWithParam<CheckCase> {};

TEST_P(FramingCheckTest, ComparesPrintsAndConsumes) {
    const CheckCase& c = GetParam();
    CapturedConsole console;
    const auto* data = reinterpret_cast<const unsigned char*>(c.bytes.data());
    ArchiveInput in(ByteCursor(data, data + c.bytes.size()), console.console, "m.dat");
    EXPECT_EQ(c.check(in), c.result);
    EXPECT_EQ(console.out.str(), c.printed);
    EXPECT_EQ(in.cursor.Offset(), c.consumed);
}

auto Word(std::uint16_t v) {
    return [v](ArchiveInput& in) { return ExpectWord(in, v); };
}
auto Dword(std::uint32_t v) {
    return [v](ArchiveInput& in) { return ExpectDword(in, v); };
}
auto Byte(std::uint8_t v) {
    return [v](ArchiveInput& in) { return ExpectByte(in, v); };
}
auto Name(std::string_view name) {
    return [name](ArchiveInput& in) { return ExpectClassName(in, name); };
}

using R = CheckResult;
INSTANTIATE_TEST_SUITE_P(
    Checks, FramingCheckTest,
    ::testing::Values(
        CheckCase{"WordMatches", "\x01\x80", Word(0x8001), R::kMatch, "", 2},
        CheckCase{"WordsPrintSigned", "\x02\x80", Word(0x8001), R::kMismatch,
                  "I: -32766 S: -32767\n", 2},
        CheckCase{"TagPrintsMinusOne", std::string("\x05\x00", 2), Word(0xFFFF), R::kMismatch,
                  "I: 5 S: -1\n", 2},
        CheckCase{"DwordPrintsSigned", std::string("\xA0\x0F\x00\x00", 4), Dword(2025),
                  R::kMismatch, "I: 4000 S: 2025\n", 4},
        CheckCase{"DwordTopBit", "\xFF\xFF\xFF\xFF", Dword(0x7FFFFFFF), R::kMismatch,
                  "I: -1 S: 2147483647\n", 4},
        CheckCase{"BytePrintsUnsigned", "\xF7", Byte(0), R::kMismatch, "I: 247 S: 0\n", 1},
        CheckCase{"ShortWordIsNotCompared", "\x01", Word(0x8001), R::kShort, "", 1},
        CheckCase{"ShortDwordIsNotCompared", "\xE9\x07", Dword(2025), R::kShort, "", 2},
        CheckCase{"NameMatches", std::string("\x08\x00", 2) + "CObPunkt", Name("CObPunkt"),
                  R::kMatch, "", 10},
        CheckCase{"WrongLengthReadsNoName", std::string("\x09\x00", 2) + "CObPunktX",
                  Name("CObPunkt"), R::kMismatch, "", 2},
        CheckCase{"NameIsCaseSensitive", std::string("\x08\x00", 2) + "CObPUNKT", Name("CObPunkt"),
                  R::kMismatch, "", 10},
        CheckCase{"ShortName", std::string("\x08\x00", 2) + "CObPu", Name("CObPunkt"), R::kShort,
                  "", 7}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace kon::test
