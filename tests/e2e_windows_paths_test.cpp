// Windows paths through the Windows build (run only when the suite starts a
// ".exe"): backslashes, mixed separators and drive letters, as Explorer hands
// them over when a file is dragged onto the program.

#include <gtest/gtest.h>

#include <map>

#include "driver/run_konvert.h"
#include "support/captured_console.h"
#include "support/konvert_runner.h"
#include "support/mutation_sweep.h"

namespace kon::test {
namespace {

std::string Example(const std::string& name) {
    for (const NamedBytes& example : ExampleFiles()) {
        if (example.name == name) return example.bytes;
    }
    ADD_FAILURE() << "no example " << name;
    return "";
}

struct PathCase {
    const char* name;
    std::map<std::string, std::string> before;  // sandbox path -> example name or bytes
    std::string argument;
    int exitCode;
    std::string out;
    std::string err;
    std::map<std::string, std::string> after;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << c.name;
}

// What this platform's konvert, run in-process, writes for an example.
std::string ConvertedHere(const std::string& exampleName) {
    Sandbox sandbox;
    sandbox.Write(exampleName, Example(exampleName));
    const std::string input = (sandbox.dir() / "work" / exampleName).string();
    const char* argv[] = {"konvert", input.c_str()};
    CapturedConsole captured;
    EXPECT_EQ(RunKonvert(2, argv, captured.console), 0);
    return sandbox.Read(OutputNameFor(exampleName));
}

// "haus.csv" stands for that example's bytes, "from haus.kon" for what
// konvert makes of it; anything else is the bytes themselves.
std::string Bytes(const std::string& content) {
    const std::string converted = "from ";
    if (content.rfind(converted, 0) == 0) return ConvertedHere(content.substr(converted.size()));
    return content.rfind("haus.", 0) == 0 ? Example(content) : content;
}

class WindowsPathE2eTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(WindowsPathE2eTest, BackslashesSeparateComponents) {
    if (!RunsWindowsProgram()) GTEST_SKIP() << "a backslash is part of a name on this system";
    const PathCase& c = GetParam();
    Sandbox sandbox;
    for (const auto& [path, content] : c.before) sandbox.Write(path, Bytes(content));
    std::string argument = c.argument;
    const std::string here = "%WORK%";
    if (argument.rfind(here, 0) == 0) {
        // Wine shows the Unix root as drive Z:.
        std::string work = "Z:" + (sandbox.dir() / "work").string();
        for (char& ch : work) ch = ch == '/' ? '\\' : ch;
        argument = work + argument.substr(here.size());
    }

    const RunResult result = sandbox.Run({argument}, "j\n\n\n");
    EXPECT_EQ(result.exitCode, c.exitCode);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    std::map<std::string, std::string> expected;
    for (const auto& [path, content] : c.after) expected[path] = Bytes(content);
    EXPECT_EQ(sandbox.Files(), expected);
}

const std::string kOk = "OK --> ";

INSTANTIATE_TEST_SUITE_P(
    Paths, WindowsPathE2eTest,
    ::testing::Values(PathCase{"TextToArchive",
                               {{"sub/model.csv", "haus.csv"}},
                               "sub\\model.csv",
                               0,
                               kOk,
                               "",
                               {{"sub/model.csv", "haus.csv"}, {"sub/model.kon", "haus.kon"}}},
                      PathCase{"ArchiveToText",
                               {{"sub/model.kon", "haus.kon"}},
                               "sub\\model.kon",
                               0,
                               kOk,
                               "",
                               {{"sub/model.kon", "haus.kon"}, {"sub/model.csv", "from haus.kon"}}},
                      PathCase{"QuestionNamesTheBaseName",
                               {{"a/b/model.csv", "haus.csv"}, {"a/b/model.kon", "alt"}},
                               "a\\b/model.csv",
                               0,
                               "Datei model.kon ist schon vorhanden! Ueberschreiben ? <j/n> " + kOk,
                               "",
                               {{"a/b/model.csv", "haus.csv"}, {"a/b/model.kon", "haus.kon"}}},
                      PathCase{"DotInADirectoryOnly",
                               {{"sub.d/model", "haus.csv"}},
                               "sub.d\\model",
                               0,
                               kOk,
                               "",
                               {{"sub.d/model", "haus.csv"}, {"sub.d/model.kon", "haus.kon"}}},
                      PathCase{"DriveLetterAsExplorerGivesIt",
                               {{"model.kon", "haus.kon"}},
                               "%WORK%\\model.kon",
                               0,
                               kOk,
                               "",
                               {{"model.kon", "haus.kon"}, {"model.csv", "from haus.kon"}}},
                      PathCase{"MissingFileKeepsTheGivenPath",
                               {},
                               "sub\\fehlt.kon",
                               1,
                               "Can't open sub\\fehlt.kon!\nReturn->--> ",
                               "sub\\fehlt.kon ist fehlerhaft\n",
                               {}}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace kon::test
