// kon loads the library of assimp's formats only when a run needs one of
// them. Each case puts a copy of kon in a folder of its own, with the
// library next to it, where it is installed, of another build, or missing,
// and runs one command there.

#if defined(KON_DEFAULT_COMMAND) && defined(KON_BRIDGE_MODULE_FILE) && !defined(_WIN32)

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "support/konvert_runner.h"

namespace fs = std::filesystem;

namespace {

enum class Library { kMissing, kNextToKon, kInstalled, kOtherBuild, kNotALibrary };

struct Case {
    const char* name;
    Library library;
    std::string arguments;  // for the shell, in the folder of the inputs
    int exitCode;
    std::string stdoutHas;
    std::string stderrHas;  // empty: nothing at all on standard error
    const char* output;     // a file the run must have written; null for none
};

const std::string kWarning = "kon: warning: the formats of assimp are left out: ";

std::vector<Case> Cases() {
    const std::string ownList = "{kon,csv,svg,glb,gltf}";
    return {
        // kon's own formats never look for the library: not even a warning.
        {"own formats need no library", Library::kMissing, "convert --to glb -o m.glb haus.kon", 0,
         "", "", "m.glb"},
        {"an own format by its extension", Library::kMissing, "convert -o m.gltf haus.csv", 0, "",
         "", "m.gltf"},
        {"Kon inputs need no library", Library::kMissing, "convert -j 2 -o out haus.kon haus.csv",
         0, "", "converted 2, failed 0", "out/haus.csv"},
        {"info needs no library", Library::kMissing, "info --json haus.kon", 0, "\"points\"", "",
         nullptr},
        {"missing: the list says so and goes on", Library::kMissing, "formats", 0, "gltf ",
         kWarning + "kon-assimp", nullptr},
        {"missing: a bridge format is not offered", Library::kMissing, "convert --to obj haus.kon",
         2, "", "--to: obj not in " + ownList, nullptr},
        {"missing: a file only assimp reads", Library::kMissing, "convert -o m.kon h.obj", 1, "",
         "not a Kon file", nullptr},
        // Said before the first file's messages, not between them.
        {"missing: said first in a batch", Library::kMissing, "convert -v -o out haus.kon h.obj", 1,
         "", kWarning, "out/haus.csv"},
        {"a file that is no library", Library::kNotALibrary, "formats", 0, "gltf ", kWarning + "/",
         nullptr},
        {"another build's library is not called", Library::kOtherBuild, "formats", 0, "glb ",
         "belongs to another build of kon", nullptr},
        {"next to kon", Library::kNextToKon, "convert --to obj -o m.obj haus.kon", 0, "",
         "warning: left out", "m.obj"},
        {"where it is installed", Library::kInstalled, "convert -j 2 -o out h.obj g.obj", 0, "",
         "converted 2, failed 0", "out/g.kon"},
    };
}

class BridgeLoadingTest : public testing::TestWithParam<Case> {};

TEST_P(BridgeLoadingTest, Run) {
    const Case& c = GetParam();
    const kon::test::Sandbox sandbox;
    const fs::path bin = sandbox.dir() / "bin";
    const fs::path work = sandbox.dir() / "work";
    fs::create_directories(bin);
    fs::copy_file(KON_DEFAULT_COMMAND, bin / "kon");
    const fs::path module = KON_BRIDGE_MODULE_FILE;
    switch (c.library) {
        case Library::kMissing:
            break;
        case Library::kNextToKon:
            fs::copy_file(module, bin / module.filename());
            break;
        case Library::kInstalled:
            fs::create_directories(bin / KON_BRIDGE_INSTALLED);
            fs::copy_file(module, bin / KON_BRIDGE_INSTALLED / module.filename());
            break;
        case Library::kOtherBuild:
            fs::copy_file(KON_OTHER_BUILD_MODULE_FILE, bin / module.filename());
            break;
        case Library::kNotALibrary:
            kon::test::WriteFileBytes(bin / module.filename(), "not a library\n");
            break;
    }
    for (const char* example : {"haus.kon", "haus.csv"}) {
        fs::copy_file(fs::path(KONVERT_EXAMPLES_DIR) / example, work / example);
    }
    fs::create_directory(work / "out");
    // An OBJ file of the house, made by the real library in its build folder.
    const std::string makeObj = "'" KON_DEFAULT_COMMAND "' convert --to obj -o h.obj haus.kon";
    ASSERT_EQ(std::system(("cd '" + work.string() + "' && " + makeObj + " 2>/dev/null").c_str()),
              0);
    fs::copy_file(work / "h.obj", work / "g.obj");

    const std::string command = "cd '" + work.string() + "' && '" + (bin / "kon").string() + "' " +
                                c.arguments + " >stdout.txt 2>stderr.txt";
    const int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    const std::string out = kon::test::ReadFileBytes(work / "stdout.txt");
    const std::string err = kon::test::ReadFileBytes(work / "stderr.txt");
    EXPECT_EQ(WEXITSTATUS(status), c.exitCode) << err;
    EXPECT_NE(out.find(c.stdoutHas), std::string::npos) << out;
    if (c.stderrHas.empty()) {
        EXPECT_EQ(err, "");
    } else if (c.stderrHas == kWarning) {
        EXPECT_TRUE(err.starts_with(kWarning)) << err;
    } else {
        EXPECT_NE(err.find(c.stderrHas), std::string::npos) << err;
    }
    if (c.library != Library::kNextToKon && c.library != Library::kInstalled) {
        // What kon can still do, it does; assimp's formats are simply absent.
        EXPECT_EQ(out.find("(assimp)"), std::string::npos) << out;
    }
    if (c.output != nullptr) {
        EXPECT_GT(fs::file_size(work / c.output), 0u) << c.output;
    }
}

INSTANTIATE_TEST_SUITE_P(Layouts, BridgeLoadingTest, testing::ValuesIn(Cases()),
                         [](const testing::TestParamInfo<Case>& param) {
                             std::string name;
                             for (const char* p = param.param.name; *p != '\0'; ++p) {
                                 if (std::isalnum(static_cast<unsigned char>(*p))) name += *p;
                             }
                             return name;
                         });

}  // namespace

#endif
