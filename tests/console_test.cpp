#include "driver/console.h"

#include <gtest/gtest.h>

#include "support/captured_console.h"

namespace kon {
namespace {

TEST(ConsoleTest, ReportPrintsMessageUnchangedThenWaitsForOneLine) {
    test::CapturedConsole c("first\nsecond\n");
    c.console.ReportAndWait("100% %s %d\n");
    EXPECT_EQ(c.out.str(), "100% %s %d\nReturn->");
    std::string answer;
    ASSERT_TRUE(c.console.Ask("? ", answer));
    EXPECT_EQ(answer, "second");  // the wait consumed exactly one line
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

TEST(ConsoleTest, AnswerLineIsReadWhole) {
    const std::string longLine(100000, 'j');
    test::CapturedConsole c(longLine + "\nnext\n");
    std::string answer;
    ASSERT_TRUE(c.console.Ask("", answer));
    EXPECT_EQ(answer, longLine);
}

TEST(ConsoleTest, DriverLinesGoToStandardError) {
    test::CapturedConsole c;
    c.console.Print("I: 1 S: 2\n");
    c.console.PrintError("x ist fehlerhaft\n");
    EXPECT_EQ(c.out.str(), "I: 1 S: 2\n");
    EXPECT_EQ(c.err.str(), "x ist fehlerhaft\n");
}

}  // namespace
}  // namespace kon
