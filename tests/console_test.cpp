// The dialogue: messages unchanged, one line per wait, waits that return at
// the end of standard input, and the driver's reports in the user's order.

#include "io/console.h"

#include <gtest/gtest.h>

#include "driver/run_konvert.h"
#include "support/captured_console.h"

namespace kon {
namespace {

TEST(ConsoleTest, ReportPrintsMessageUnchangedThenWaitsForOneLine) {
    const std::string longLine(100000, 'j');
    test::CapturedConsole c("first\n" + longLine + "\n");
    c.console.ReportAndWait("100% %s %d\n");
    c.console.Print("I: 1 S: 2\n");
    c.console.PrintError("x ist fehlerhaft\n");
    std::string answer;
    ASSERT_TRUE(c.console.Ask("? ", answer));
    EXPECT_EQ(answer, longLine);  // the wait took exactly one line; answers are read whole
    EXPECT_EQ(c.out.str(), "100% %s %d\nReturn->I: 1 S: 2\n? ");
    EXPECT_EQ(c.err.str(), "x ist fehlerhaft\n");
}

TEST(ConsoleTest, WaitsReturnAtOnceAtEndOfInput) {
    test::CapturedConsole c;
    c.console.ReportOpenFailure("x.kon");
    c.console.Prompt("--> ");
    std::string answer = "stale";
    EXPECT_FALSE(c.console.Ask("? ", answer));
    EXPECT_TRUE(answer.empty());
    EXPECT_EQ(c.out.str(), "Can't open x.kon!\nReturn->--> ? ");
}

TEST(RunKonvertTest, ReportsComeInProgramOrderEachWithItsWait) {
    // One stream for both outputs shows the order the user sees.
    std::istringstream in("1\n2\n3\n4\n");
    std::ostringstream out;
    Console console(in, out, out);
    const char* argv[] = {"C:\\bin\\konvert.exe", "nirgends\\fehlt.kon"};
    EXPECT_EQ(RunKonvert(2, argv, console), 1);
    EXPECT_EQ(RunKonvert(0, nullptr, console), 1);  // no program name at all
    EXPECT_EQ(out.str(),
              "Can't open nirgends\\fehlt.kon!\nReturn->nirgends\\fehlt.kon ist fehlerhaft\n--> "
              "Usage:  Kon-datei\n--> ");
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "4");  // two waits for the missing input, one after the usage line
}

}  // namespace
}  // namespace kon
