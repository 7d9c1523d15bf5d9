// The real program: command line, unreadable and faulty inputs, waits at the
// end of standard input; nothing is ever written.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "support/konvert_runner.h"

namespace kon::test {
namespace {

TEST(DriverE2eTest, ReportsAndExitsWithOne) {
    const std::string kTav = "KON;TAV\r\nX\r\nFlaechen\r\nScalX\r\n";
    const std::string usage = "Usage: " + KonvertProgramName() + " Kon-datei\n";
    const struct {
        std::vector<std::string> args;
        std::string input, out, err;
    } cases[] = {
        {{}, "\n", "--> ", usage},
        {{"a.kon", "b.kon"}, "\n", "--> ", usage},
        {{"fehlt.kon"},
         "\n\n",
         "Can't open fehlt.kon!\nReturn->--> ",
         "fehlt.kon ist fehlerhaft\n"},
        {{"fehlt.kon"}, "", "Can't open fehlt.kon!\nReturn->--> ", "fehlt.kon ist fehlerhaft\n"},
        {{"ordner.kon"},
         "\n\n",
         "Can't open ordner.kon!\nReturn->--> ",
         "ordner.kon ist fehlerhaft\n"},
        {{"./tav.csv"}, "\n", "--> ", "./tav.csv ist fehlerhaft\n"},
    };
    for (const auto& c : cases) {
        Sandbox sandbox;
        sandbox.Write("tav.csv", kTav);
        std::filesystem::create_directory(sandbox.dir() / "work" / "ordner.kon");
        const RunResult result = sandbox.Run(c.args, c.input);
        SCOPED_TRACE(c.args.empty() ? "no argument" : c.args[0]);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_EQ(result.out, c.out);
        EXPECT_EQ(result.err, c.err);
        EXPECT_EQ(sandbox.Files(), (std::map<std::string, std::string>{{"tav.csv", kTav}}));
    }
}

}  // namespace
}  // namespace kon::test
