// The driver's input and output: the console dialogue, the parts of a
// Windows-style path and the replacement of an output file, which keeps the
// old file unless every byte of the new one was written.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <sstream>

#include "driver/paths.h"
#include "driver/run_konvert.h"
#include "io/console.h"
#include "io/output_file.h"
#include "support/captured_console.h"
#include "support/konvert_runner.h"

namespace kon {
namespace {

namespace fs = std::filesystem;

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

// Standard error is shown at once; what standard output holds back must come
// out before it, even when the error stream is not tied to the output stream.
TEST(ConsoleTest, ErrorLineFollowsWhatWasPrintedBefore) {
    struct Screen : std::stringbuf {
        explicit Screen(std::string& shown) : shown_(shown) {}
        int sync() override {
            shown_ += str();
            str("");
            return 0;
        }
        std::string& shown_;
    };
    std::string shown;
    Screen outBuffer(shown), errBuffer(shown);
    std::istringstream in;
    std::ostream out(&outBuffer), err(&errBuffer);
    Console console(in, out, err);
    console.Print("I: 7 S: 0\n");
    console.PrintError("z.dat ist fehlerhaft\n");
    EXPECT_EQ(shown, "I: 7 S: 0\nz.dat ist fehlerhaft\n");
}

// A command line without even the program's name still gets its usage line.
TEST(ConsoleTest, UsageWithoutProgramName) {
    test::CapturedConsole c("\n");
    EXPECT_EQ(RunKonvert(0, nullptr, c.console), 1);
    EXPECT_EQ(c.err.str(), "Usage:  Kon-datei\n");
    EXPECT_EQ(c.out.str(), "--> ");
}

TEST(PathTest, SplitsTheLastComponentAtEitherSeparator) {
    const std::string longDir(5000, 'd');
    const struct {
        std::string path, extension, stem, baseName;
    } cases[] = {
        {"model.kon", "kon", "model", "model.kon"},
        {"model", "", "model", "model"},
        {"a.b.c", "c", "a.b", "a.b.c"},
        {"model.", "", "model", "model."},
        {".kon", "kon", "", ".kon"},
        {"dir\\.kon", "kon", "dir\\", ".kon"},
        {"dir.x\\model", "", "dir.x\\model", "model"},
        {"dir.x/model", "", "dir.x/model", "model"},
        {"C:\\daten\\haus.KON", "KON", "C:\\daten\\haus", "haus.KON"},
        {"a/b\\c.d", "d", "a/b\\c", "c.d"},
        {"dir/", "", "dir/", ""},
        {"", "", "", ""},
        {longDir + "/n.csv", "csv", longDir + "/n", "n.csv"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(PathStem(c.path), c.stem) << c.path;
        EXPECT_EQ(PathBaseName(c.path), c.baseName) << c.path;
        EXPECT_EQ(PathBaseNameCopy(c.path), c.baseName) << c.path;
    }
}

// The scenes the real program cannot set up: a write that fails midway with
// or without an old file, a link whose target does not exist yet.
TEST(OutputFileTest, ReplacesOnlyAfterACompleteWrite) {
    enum Scene { kNothing, kOldFile, kLinkToOldFile, kDanglingLink, kDirectory };
    const struct {
        Scene scene;
        bool writeFails;
        OutputResult result;
        const char* finalBytes;  // of the file the name leads to; "-" when none
    } cases[] = {
        {kNothing, false, OutputResult::kWritten, "neu"},
        {kNothing, true, OutputResult::kWriteFailed, "-"},
        {kOldFile, true, OutputResult::kWriteFailed, "alt"},
        {kLinkToOldFile, false, OutputResult::kWritten, "neu"},
        {kLinkToOldFile, true, OutputResult::kWriteFailed, "alt"},
        {kDanglingLink, false, OutputResult::kWritten, "neu"},
        {kDirectory, false, OutputResult::kOpenFailed, "-"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "scene " << c.scene << (c.writeFails ? ", fails" : ""));
        test::Sandbox sandbox;
        const fs::path work = sandbox.dir() / "work";
        const fs::path output = work / "out.kon";
        const fs::path target = work / "ziel" / "echt.kon";  // where a link leads
        fs::create_directories(target.parent_path());
        if (c.scene == kOldFile) test::WriteFileBytes(output, "alt");
        if (c.scene == kLinkToOldFile) test::WriteFileBytes(target, "alt");
        const bool linked = c.scene == kLinkToOldFile || c.scene == kDanglingLink;
        if (linked) fs::create_symlink(fs::path("ziel") / "echt.kon", output);
        if (c.scene == kDirectory) fs::create_directory(output);

        EXPECT_EQ(WriteOutputFile(output.string(),
                                  [&](std::ostream& out) {
                                      out << "neu";
                                      if (c.writeFails) out.setstate(std::ios::badbit);
                                  }),
                  c.result);
        EXPECT_EQ(fs::is_symlink(output), linked);
        const fs::path finalFile = linked ? target : output;
        EXPECT_EQ(fs::is_regular_file(finalFile) ? test::ReadFileBytes(finalFile) : "-",
                  c.finalBytes);
        std::size_t files = 0;  // no temporary file left
        for (const auto& e : fs::recursive_directory_iterator(work))
            files += fs::is_regular_file(e.symlink_status());
        EXPECT_EQ(files, c.finalBytes == std::string("-") ? 0u : 1u);
    }
}

}  // namespace
}  // namespace kon
