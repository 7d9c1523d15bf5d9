// The settings live in the built program behind their markers, once each,
// with their default values right behind them; a copy patched there writes
// with its own separator and extension, and every build reads its files.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "support/haus_model.h"
#include "support/konvert_runner.h"

namespace kon::test {
namespace {

namespace fs = std::filesystem;

// Built from pieces so the markers stand only in the program, not in here.
const std::string kTrennerMarker = std::string("@Tren") + "ner@";
const std::string kEndungMarker = std::string("@End") + "ung@";

std::string ProgramImage() {
    return ReadFileBytes(KONVERT_DEFAULT_COMMAND);
}

bool Once(const std::string& image, const std::string& needle) {
    const auto at = image.find(needle);
    return at != std::string::npos && image.find(needle, at + 1) == std::string::npos;
}

TEST(SettingsE2eTest, EachMarkerStandsOnceWithItsDefaultBehindIt) {
    const std::string image = ProgramImage();
    EXPECT_TRUE(Once(image, kTrennerMarker + std::string(";\0", 2)));
    EXPECT_TRUE(Once(image, kEndungMarker + std::string(".csv\0\0\0\0\0\0\0\0", 12)));
    EXPECT_TRUE(Once(image, kTrennerMarker) && Once(image, kEndungMarker));
}

// The program image with a tab behind the separator marker and ".txt" behind
// the extension marker, written next to the sandbox's work directory.
fs::path PatchedCopy(const Sandbox& sandbox) {
    std::string image = ProgramImage();
    const auto trenner = image.find(kTrennerMarker);
    const auto endung = image.find(kEndungMarker);
    if (trenner == std::string::npos || endung == std::string::npos) return {};
    image[trenner + kTrennerMarker.size()] = '\t';
    image.replace(endung + kEndungMarker.size(), 12, std::string(".txt\0\0\0\0\0\0\0\0", 12));
    const fs::path copy = sandbox.dir() / "konvert-tab";
    std::ofstream out(copy, std::ios::binary);
    out.write(image.data(), static_cast<std::streamsize>(image.size()));
    out.close();
    if (!out) return {};
    fs::permissions(copy, fs::perms::owner_exec, fs::perm_options::add);
    return copy;
}

TEST(SettingsE2eTest, PatchedCopyWritesTabsUnderItsExtensionAndBothReadThem) {
    if (!RunsBuiltProgram()) GTEST_SKIP() << "KONVERT_COMMAND names another program";
    Sandbox sandbox;
    const fs::path copy = PatchedCopy(sandbox);
    ASSERT_FALSE(copy.empty());
    // The house as its text comes back: a MOLK archive carried no supplement group.
    KonModell plain = HausModell();
    plain.Punkte[1] = CObPunkt{1000, 0, -250, 0, 0, 0, 0, 0, 255, 0, 0, 0, 1.5f, 0.25f, 3, {}, 0};
    sandbox.Write("haus.kon", ArchiveBytes(HausModell()));

    const struct {
        bool patched;
        const char* input;
        const char* output;
        std::string expected;
    } steps[] = {
        // Tabs throughout, the first right after "KON", under the new name.
        {true, "haus.kon", "haus.txt", HausArchiveText('\t')},
        // Its extension is not "kon", so both builds make an archive of it.
        {true, "haus.txt", "haus.kon", ArchiveBytes(plain)},
        {false, "haus.txt", "haus.kon", ArchiveBytes(plain)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(std::string(step.patched ? "copy: " : "original: ") + step.input);
        fs::remove(sandbox.dir() / "work" / step.output);
        sandbox.SetProgram(step.patched ? copy : fs::path());
        const RunResult result = sandbox.Run({step.input}, "\n");
        EXPECT_EQ(result.exitCode, 0);
        EXPECT_EQ(result.out, "OK --> ");
        EXPECT_EQ(result.err, "");
        EXPECT_EQ(sandbox.Read(step.output), step.expected);
    }
    EXPECT_EQ(sandbox.Files().size(), 2u);
}

}  // namespace
}  // namespace kon::test
