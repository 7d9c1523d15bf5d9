#include "driver/run_konvert.h"

#include <gtest/gtest.h>

#include <sstream>

namespace kon {
namespace {

TEST(RunKonvertTest, MissingProgramNameGivesEmptyNameInUsage) {
    std::istringstream in;
    std::ostringstream out;
    Console console(in, out, out);
    EXPECT_EQ(RunKonvert(0, nullptr, console), 1);
    EXPECT_EQ(out.str(), "Usage:  Kon-datei\n--> ");
}

TEST(RunKonvertTest, ReportsComeInProgramOrderEachWithItsWait) {
    // One stream for both outputs shows the order the user sees.
    std::istringstream in("1\n2\n3\n");
    std::ostringstream out;
    Console console(in, out, out);
    const char* argv[] = {"C:\\bin\\konvert.exe", "nirgends\\fehlt.kon"};
    EXPECT_EQ(RunKonvert(2, argv, console), 1);
    EXPECT_EQ(out.str(),
              "Can't open nirgends\\fehlt.kon!\nReturn->"
              "nirgends\\fehlt.kon ist fehlerhaft\n--> ");
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "3");  // exactly two waits
}

}  // namespace
}  // namespace kon
