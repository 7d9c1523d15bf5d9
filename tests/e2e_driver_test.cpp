// The real program: command line, unreadable and faulty inputs, waits at the
// end of standard input.

#include <gtest/gtest.h>

#include <filesystem>

#include "support/konvert_runner.h"

namespace kon::test {
namespace {

struct DriverCase {
    const char* name;
    std::vector<std::string> args;
    std::string expectedOut;
    std::string expectedErr;
};

void PrintTo(const DriverCase& c, std::ostream* os) {
    *os << c.name;
}

class DriverE2eTest : public ::testing::TestWithParam<DriverCase> {};

TEST_P(DriverE2eTest, ReportsAndExitsWithOne) {
    const DriverCase& c = GetParam();
    Sandbox sandbox;
    sandbox.Write("tav.csv", "KON;TAV\r\nX\r\nFlaechen\r\nScalX\r\n");
    std::filesystem::create_directory(sandbox.dir() / "work" / "ordner.kon");
    const auto before = sandbox.Files();

    const RunResult result = sandbox.Run(c.args, "\n\n\n");

    std::string expectedErr = c.expectedErr;
    const std::string usage = "Usage: konvert ";
    if (expectedErr.rfind(usage, 0) == 0) {
        expectedErr = "Usage: " + KonvertProgramName() + expectedErr.substr(usage.size() - 1);
    }
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, c.expectedOut);
    EXPECT_EQ(result.err, expectedErr);
    EXPECT_EQ(sandbox.Files(), before);  // nothing written
}

INSTANTIATE_TEST_SUITE_P(
    Runs, DriverE2eTest,
    ::testing::Values(
        DriverCase{"NoArgument", {}, "--> ", "Usage: konvert Kon-datei\n"},
        DriverCase{"TwoArguments", {"a.kon", "b.kon"}, "--> ", "Usage: konvert Kon-datei\n"},
        DriverCase{"MissingInput",
                   {"fehlt.kon"},
                   "Can't open fehlt.kon!\nReturn->--> ",
                   "fehlt.kon ist fehlerhaft\n"},
        DriverCase{"DirectoryInput",
                   {"ordner.kon"},
                   "Can't open ordner.kon!\nReturn->--> ",
                   "ordner.kon ist fehlerhaft\n"},
        DriverCase{"TavModelIsFaulty", {"./tav.csv"}, "--> ", "./tav.csv ist fehlerhaft\n"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(DriverE2eTest, StandardInputAtItsEndEndsEveryWait) {
    Sandbox sandbox;
    const RunResult result = sandbox.Run({"fehlt.dat"});  // empty standard input
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "Can't open fehlt.dat!\nReturn->--> ");
}

}  // namespace
}  // namespace kon::test
