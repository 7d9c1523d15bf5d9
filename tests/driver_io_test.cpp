// The driver's input and output: the console dialogue, the parts of a
// Windows-style path and a failed replacement of an output file.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <limits>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "driver/paths.h"
#include "driver/run_konvert.h"
#include "io/console.h"
#include "io/output_file.h"
#include "support/captured_console.h"
#include "support/konvert_runner.h"

namespace kon {
namespace {

namespace fs = std::filesystem;

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

// Windows names split on any platform; the other names are golden rows.
TEST(PathTest, SplitsTheLastComponentAtEitherSeparator) {
    const std::string longDir(5000, 'd');
    const struct {
        std::string path, extension, stem, baseName;
    } cases[] = {
        {"dir.x\\model", "", "dir.x\\model", "model"},
        {"C:\\daten\\haus.KON", "KON", "C:\\daten\\haus", "haus.KON"},
        {longDir + "/n.csv", "csv", longDir + "/n", "n.csv"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(PathStem(c.path), c.stem) << c.path;
        EXPECT_EQ(PathBaseName(c.path), c.baseName) << c.path;
        EXPECT_EQ(PathBaseNameCopy(c.path), c.baseName) << c.path;
    }
}

// A stream the writer itself marks bad (its buffer still fine) leaves the old
// file and no temporary one; the other scenes are golden rows.
TEST(OutputFileTest, AFailedWriteKeepsTheOldFile) {
    test::Sandbox sandbox;
    const fs::path output = sandbox.dir() / "work" / "out.kon";
    test::WriteFileBytes(output, "alt");
    EXPECT_EQ(WriteOutputFile(output.string(),
                              [](std::ostream& out) {
                                  out << "neu";
                                  out.setstate(std::ios::badbit);
                              }),
              OutputResult::kWriteFailed);
    EXPECT_EQ(test::ReadFileBytes(output), "alt");
    EXPECT_EQ(std::distance(fs::directory_iterator(output.parent_path()), fs::directory_iterator()),
              1);
}

// Single characters past a full buffer (how `<<` of a char writes) arrive in
// order, none lost at the buffer's edge.
TEST(OutputFileTest, CharacterWritesCrossTheBufferEdgeIntact) {
    test::Sandbox sandbox;
    const fs::path output = sandbox.dir() / "work" / "out.csv";
    std::string expected;
    for (int i = 0; i < 300000; ++i) expected += static_cast<char>('a' + i % 26);
    EXPECT_EQ(WriteOutputFile(output.string(),
                              [&](std::ostream& out) {
                                  for (const char c : expected) out.put(c);
                              }),
              OutputResult::kWritten);
    EXPECT_TRUE(test::ReadFileBytes(output) == expected);
}

// A writer may go back over bytes it wrote, in the buffer still, in a block
// already handed to the writing thread, or both at once, more than once,
// and on to the end again; a move past the end is refused and moves
// nothing. The same moves on a string stream give the same bytes.
TEST(OutputFileTest, WritesGoBackAndOnToTheEnd) {
    const std::string block(700000, 'x');  // more than two buffers
    constexpr std::size_t kBuffer = std::size_t{1} << 18;
    const struct {
        std::string name;
        std::size_t before;                // bytes written first
        std::vector<std::size_t> patches;  // where "PATCH" goes, in turn
    } cases[] = {{"in the buffer", 100, {10}},
                 {"in a written block", block.size(), {10}},
                 {"across a block's end", block.size(), {kBuffer - 2}},
                 {"at the last byte", block.size(), {block.size() - 1}},
                 {"twice, the second before the first", block.size(), {kBuffer + 7, 3}}};
    for (const auto& c : cases) {
        const auto write = [&](std::ostream& out) {
            out.write(block.data(), static_cast<std::streamsize>(c.before));
            const std::streampos end = out.tellp();
            out.seekp(static_cast<std::streamoff>(c.before) + 1);  // past the end: refused
            EXPECT_TRUE(out.fail()) << c.name;
            out.clear();
            EXPECT_EQ(out.tellp(), end) << c.name;
            for (const std::size_t at : c.patches) {
                out.seekp(static_cast<std::streamoff>(at));
                out << "PATCH";
            }
            out.seekp(0, std::ios::end);
            out << "tail";
        };
        std::ostringstream expected;
        write(expected);
        test::Sandbox sandbox;
        const fs::path output = sandbox.dir() / "work" / "out.glb";
        ASSERT_EQ(WriteOutputFile(output.string(), write), OutputResult::kWritten) << c.name;
        const std::string bytes = test::ReadFileBytes(output);
        EXPECT_TRUE(bytes == expected.str()) << c.name;
        std::size_t length = c.before;
        for (const std::size_t at : c.patches) {
            EXPECT_EQ(bytes.substr(at, 5), "PATCH") << c.name;
            length = std::max(length, at + 5);
        }
        EXPECT_EQ(bytes.size(), length + 4) << c.name;
    }
}

// Moves by offsets that no file reaches are refused, whichever way they
// point, and leave the position and the bytes as they were.
TEST(OutputFileTest, MovesBeyondAnyFileAreRefused) {
    constexpr std::streamoff kLowest = std::numeric_limits<std::streamoff>::min();
    constexpr std::streamoff kHighest = std::numeric_limits<std::streamoff>::max();
    test::Sandbox sandbox;
    const fs::path output = sandbox.dir() / "work" / "out.glb";
    ASSERT_EQ(WriteOutputFile(output.string(),
                              [&](std::ostream& out) {
                                  out << "0123456789";
                                  const struct {
                                      std::streamoff offset;
                                      std::ios::seekdir from;
                                  } moves[] = {{kLowest, std::ios::cur},  {kLowest, std::ios::end},
                                               {kHighest, std::ios::beg}, {kHighest, std::ios::cur},
                                               {-11, std::ios::end},      {1, std::ios::end}};
                                  for (const auto& m : moves) {
                                      out.seekp(m.offset, m.from);
                                      EXPECT_TRUE(out.fail()) << m.offset;
                                      out.clear();
                                      EXPECT_EQ(out.tellp(), std::streampos(10)) << m.offset;
                                  }
                                  out.seekp(-10, std::ios::end);
                                  out << "A";
                              }),
              OutputResult::kWritten);
    EXPECT_EQ(test::ReadFileBytes(output), "A123456789");
}

}  // namespace
}  // namespace kon
