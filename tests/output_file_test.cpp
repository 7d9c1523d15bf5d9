// Replacing an output: the old file stays as it was unless every byte of the
// new one was written; links are followed to their target; the new file keeps
// the old one's permissions; no temporary file is left behind.

#include "io/output_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <ostream>

#include "support/konvert_runner.h"

namespace kon {
namespace {

namespace fs = std::filesystem;

enum class Scene { kNothing, kOldFile, kLinkToOldFile, kDanglingLink, kDirectory };

struct ReplaceCase {
    const char* name;
    Scene scene;
    bool writeFails;
    OutputResult result;
    std::string finalBytes;  // of the file the name leads to; "-" when none
};

void PrintTo(const ReplaceCase& c, std::ostream* os) {
    *os << c.name;
}

class OutputFileTest : public ::testing::TestWithParam<ReplaceCase> {};

TEST_P(OutputFileTest, ReplacesOnlyAfterACompleteWrite) {
    const ReplaceCase& c = GetParam();
    test::Sandbox sandbox;
    const fs::path work = sandbox.dir() / "work";
    const fs::path output = work / "out.kon";
    const fs::path target = work / "ziel" / "echt.kon";  // where a link leads
    fs::create_directories(target.parent_path());
    switch (c.scene) {
        case Scene::kNothing:
            break;
        case Scene::kOldFile:
            sandbox.Write("out.kon", "alt");
            break;
        case Scene::kLinkToOldFile:
            sandbox.Write("ziel/echt.kon", "alt");
            fs::create_symlink(fs::path("ziel") / "echt.kon", output);
            break;
        case Scene::kDanglingLink:
            fs::create_symlink(fs::path("ziel") / "echt.kon", output);
            break;
        case Scene::kDirectory:
            fs::create_directory(output);
            break;
    }
    const auto before = sandbox.Files();

    const OutputResult result = WriteOutputFile(output.string(), [&](std::ostream& out) {
        out << "neu";
        if (c.writeFails) out.setstate(std::ios::badbit);
    });

    EXPECT_EQ(result, c.result);
    const bool linked = c.scene == Scene::kLinkToOldFile || c.scene == Scene::kDanglingLink;
    EXPECT_EQ(fs::is_symlink(output), linked);
    const fs::path finalFile = linked ? target : output;
    EXPECT_EQ(
        fs::is_regular_file(finalFile) ? sandbox.Read(fs::relative(finalFile, work).string()) : "-",
        c.finalBytes);
    if (result != OutputResult::kWritten) {
        EXPECT_EQ(sandbox.Files(), before);
    }
    std::size_t files = 0;
    for (const auto& entry : fs::recursive_directory_iterator(work)) {
        files += entry.is_regular_file() && !entry.is_symlink() ? 1u : 0u;
    }
    EXPECT_EQ(files, c.finalBytes == "-" ? 0u : 1u);  // no temporary file left
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, OutputFileTest,
    ::testing::Values(
        ReplaceCase{"NewFile", Scene::kNothing, false, OutputResult::kWritten, "neu"},
        ReplaceCase{"FailedNewFile", Scene::kNothing, true, OutputResult::kWriteFailed, "-"},
        ReplaceCase{"OldFileReplaced", Scene::kOldFile, false, OutputResult::kWritten, "neu"},
        ReplaceCase{"FailedKeepsOldFile", Scene::kOldFile, true, OutputResult::kWriteFailed, "alt"},
        ReplaceCase{"LinkTargetReplaced", Scene::kLinkToOldFile, false, OutputResult::kWritten,
                    "neu"},
        ReplaceCase{"FailedKeepsLinkTarget", Scene::kLinkToOldFile, true,
                    OutputResult::kWriteFailed, "alt"},
        ReplaceCase{"DanglingLinkGetsItsTarget", Scene::kDanglingLink, false,
                    OutputResult::kWritten, "neu"},
        ReplaceCase{"DirectoryIsNoOutput", Scene::kDirectory, false, OutputResult::kOpenFailed,
                    "-"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(OutputFileTest, NewFileKeepsTheOldPermissions) {
    test::Sandbox sandbox;
    sandbox.Write("out.kon", "alt");
    const fs::path output = sandbox.dir() / "work" / "out.kon";
    const fs::perms kept = fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read;
    fs::permissions(output, kept, fs::perm_options::replace);
    ASSERT_EQ(WriteOutputFile(output.string(), [](std::ostream& out) { out << "neu"; }),
              OutputResult::kWritten);
    EXPECT_EQ(fs::status(output).permissions() & fs::perms::mask, kept);
}

}  // namespace
}  // namespace kon
