// Damaged and odd inputs through the real program: a sample of the damaged
// example copies, random bytes, empty files, and read-only outputs. Each run converts completely or
// refuses with a report, and leaves no changed, half-written or temporary file behind.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/konvert_runner.h"
#include "support/mutation_sweep.h"

namespace kon::test {
namespace {

namespace fs = std::filesystem;

// Enough runs to cross every section of the small examples; the whole sweep
// runs in-process in the unit tests.
constexpr std::size_t kSamplesPerExample = 24;

std::string JudgeRealRun(const std::string& fileName, const std::string& bytes,
                         bool overOldOutput) {
    Sandbox sandbox;
    SweepCase c{sandbox.dir() / "work", fileName, bytes, std::nullopt};
    if (overOldOutput) c.oldOutput = "alte Ausgabe\r\n";
    Prepare(c);
    const RunResult result = sandbox.Run({fileName}, SweepAnswers());
    return Judge(c, SweepOutcome{result.exitCode, result.out, result.err});
}

TEST(MutationE2eTest, SampleOfDamagedExamplesEndsSoundly) {
    for (const NamedBytes& example : ExampleFiles()) {
        const std::vector<NamedBytes> mutations = MutationsOf(example.bytes);
        const std::size_t stride = std::max<std::size_t>(1, mutations.size() / kSamplesPerExample);
        for (std::size_t i = 0; i < mutations.size(); i += stride) {
            EXPECT_EQ(JudgeRealRun(example.name, mutations[i].bytes, i / stride % 2 == 1), "")
                << example.name << " " << mutations[i].name;
        }
    }
}

TEST(MutationE2eTest, RandomBytesEndSoundly) {
    int i = 0;
    for (const NamedBytes& input : RandomInputs(7u, 6)) {
        EXPECT_EQ(JudgeRealRun(input.name, input.bytes, ++i % 2 == 0), "") << input.name;
    }
}

struct OddCase {
    const char* name;
    std::string input;       // file name; "haus.*" gets the example's bytes
    std::string inputBytes;  // for other inputs
    std::string out;
    std::string err;
};

void PrintTo(const OddCase& c, std::ostream* os) {
    *os << c.name;
}

std::string ExampleBytes(const std::string& name) {
    for (const NamedBytes& example : ExampleFiles()) {
        if (example.name == name) return example.bytes;
    }
    return "";
}

class OddInputE2eTest : public ::testing::TestWithParam<OddCase> {};

TEST_P(OddInputE2eTest, RefusedWithItsReport) {
    const OddCase& c = GetParam();
    Sandbox sandbox;
    sandbox.Write(c.input, c.inputBytes.empty() ? ExampleBytes(c.input) : c.inputBytes);
    const auto before = sandbox.Files();

    const RunResult result = sandbox.Run({c.input}, "j\n\n\n");
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(sandbox.Files(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, OddInputE2eTest,
    ::testing::Values(OddCase{"EmptyArchiveName", "leer.kon", std::string(),
                              "Unerwartetes Dateiende in leer.kon!\nReturn->--> ",
                              "leer.kon ist fehlerhaft\n"},
                      OddCase{"EmptyOtherName", "leer.csv", std::string(),
                              "Unerwartetes Dateiende in leer.csv!\nReturn->--> ",
                              "leer.csv ist fehlerhaft\n"},
                      OddCase{"OnlyTheTextMark", "kurz.csv", "KON",
                              "Falsches Kon-Format!\nReturn->--> ", "kurz.csv ist fehlerhaft\n"}),
    [](const auto& tc) { return std::string(tc.param.name); });

class ReadOnlyOutputE2eTest : public ::testing::TestWithParam<std::string> {};

TEST_P(ReadOnlyOutputE2eTest, IsLeftAsItWas) {
    Sandbox sandbox;
    const std::string input = GetParam();
    const std::string output = OutputNameFor(input);
    sandbox.Write(input, ExampleBytes(input));
    sandbox.Write(output, "alt");
    const fs::path outputPath = sandbox.dir() / "work" / output;
    fs::permissions(outputPath, fs::perms::owner_read | fs::perms::group_read);
    // The superuser may write anyway, so only a refused write shows the check;
    // Windows enforces the read-only attribute for everyone.
    if (!RunsWindowsProgram() && std::ofstream(outputPath, std::ios::app)) {
        GTEST_SKIP() << "running with rights to write";
    }

    const RunResult result = sandbox.Run({input}, "j\n\n\n");
    EXPECT_EQ(result.exitCode, 1);
    const std::string question =
        "Datei " + output + " ist schon vorhanden! Ueberschreiben ? <j/n> ";
    if (output == "haus.kon") {
        EXPECT_EQ(result.out, question + "Can't open haus.kon!\nReturn->");
    } else {
        EXPECT_EQ(result.out, question + "--> ");
        EXPECT_EQ(result.err, output + ": Can't open\n");
    }
    EXPECT_EQ(sandbox.Read(output), "alt");
    EXPECT_EQ(sandbox.Files().size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(BothDirections, ReadOnlyOutputE2eTest,
                         ::testing::Values("haus.csv", "haus.kon"),
                         [](const auto& tc) { return tc.param.substr(5); });

}  // namespace
}  // namespace kon::test
