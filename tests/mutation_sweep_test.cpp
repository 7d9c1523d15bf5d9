// Every example file cut short at every length and with every byte damaged,
// converted in-process with real files (the sanitizer builds' guard): each
// run converts completely or refuses with a report, and never leaves a
// changed or half-written output.

#include <gtest/gtest.h>

#include <optional>
#include <sstream>

#include "driver/paths.h"
#include "driver/run_konvert.h"
#include "driver/settings.h"
#include "io/load_model.h"
#include "support/captured_console.h"
#include "support/konvert_runner.h"
#include "text/ascii_case.h"

namespace kon::test {
namespace {

namespace fs = std::filesystem;

// Cuts to 0..size-1 bytes, and every byte changed to +1, -1, 0x00 and 0xFF.
std::vector<std::string> MutationsOf(const std::string& original) {
    std::vector<std::string> mutations;
    for (std::size_t length = 0; length < original.size(); ++length)
        mutations.push_back(original.substr(0, length));
    for (std::size_t at = 0; at < original.size(); ++at) {
        const auto byte = static_cast<unsigned char>(original[at]);
        for (const unsigned changed : {byte + 1u, byte - 1u, 0x00u, 0xFFu}) {
            if (static_cast<unsigned char>(changed) == byte) continue;
            mutations.push_back(original);
            mutations.back()[at] = static_cast<char>(changed);
        }
    }
    return mutations;
}

std::optional<KonModell> Convertible(const std::string& bytes, const std::string& name) {
    std::istringstream in(bytes, std::ios::in | std::ios::binary);
    KonModell model;
    if (!LoadKonStream(in, name, model).diagnostics.Ok() || model.Variante != kVarianteMolk)
        return std::nullopt;
    return model;
}

// What both forms keep exactly: coordinates, the record counts, and the
// derived lines an archive carries.
bool SameModel(const KonModell& a, const KonModell& b, bool linesKept) {
    const auto xyz = [](const CObPunkt& p) { return std::tuple(p.X, p.Y, p.Z); };
    return std::equal(a.Punkte.begin(), a.Punkte.end(), b.Punkte.begin(), b.Punkte.end(),
                      [&](const auto& p, const auto& q) { return xyz(p) == xyz(q); }) &&
           a.Flaechenliste.size() == b.Flaechenliste.size() &&
           a.Instanzen.size() == b.Instanzen.size() &&
           (!linesKept ||
            (a.Linien.size() == b.Linien.size() && a.StrichLinien.size() == b.StrichLinien.size() &&
             a.MassLinien.size() == b.MassLinien.size()));
}

// Empty when the run of `input` (over `oldOutput` when set) was sound.
std::string Judge(const fs::path& dir, const std::string& name, const std::string& input,
                  const std::optional<std::string>& oldOutput) {
    Sandbox::Empty(dir);
    const bool toText = EqualsIgnoreCase(PathExtension(name), "kon");
    const std::string outputName = PathStem(name) + (toText ? Endung() : std::string(".kon"));
    WriteFileBytes(dir / name, input);
    if (oldOutput) WriteFileBytes(dir / outputName, *oldOutput);

    // Every wait takes a line, so "j" on each answers the question whatever
    // number of reports comes first.
    CapturedConsole c("j\nj\nj\nj\nj\nj\nj\nj\n");
    const std::string path = (dir / name).string();
    const char* argv[] = {"konvert", path.c_str()};
    const int exitCode = RunKonvert(2, argv, c.console);
    const std::string out = c.out.str(), err = c.err.str();
    for (const auto& entry : fs::directory_iterator(dir)) {
        const std::string left = entry.path().filename().string();
        if (left != name && left != outputName) return "left behind: " + left;
    }
    if (ReadFileBytes(dir / name) != input) return "input changed";
    std::optional<std::string> output;
    if (fs::exists(dir / outputName)) output = ReadFileBytes(dir / outputName);

    const auto expected = Convertible(input, name);
    if (!expected) {
        if (exitCode != 1) return "faulty input: exit " + std::to_string(exitCode);
        if (!err.ends_with(" ist fehlerhaft\n") || !out.ends_with("--> "))
            return "no report: out=" + out + " err=" + err;
        return output == oldOutput ? "" : "output changed by a failed run";
    }
    if (exitCode != 0 || !out.ends_with("OK --> ") || !err.empty())
        return "loadable input not converted: out=" + out + " err=" + err;
    if (!output) return "no output";
    const auto written = Convertible(*output, outputName);
    if (!written) return "output does not read back";
    return SameModel(*expected, *written, !toText) ? "" : "output differs";
}

class MutationSweepTest : public ::testing::TestWithParam<std::string> {};

TEST_P(MutationSweepTest, EveryDamagedCopyConvertsOrIsRefusedSoundly) {
    const std::string name = GetParam();
    const std::string original = ReadFileBytes(fs::path(KONVERT_EXAMPLES_DIR) / name);
    ASSERT_FALSE(original.empty());
    const Sandbox sandbox;
    const fs::path dir = sandbox.dir() / "work";
    ASSERT_EQ(Judge(dir, name, original, std::nullopt), "");
    EXPECT_TRUE(Convertible(original, name));
    int converted = 0, refused = 0, failures = 0;
    const std::vector<std::string> inputs = MutationsOf(original);
    // The first few failures only, so a systematic fault stays readable.
    for (std::size_t i = 0; i < inputs.size() && failures < 10; ++i) {
        const std::optional<std::string> old =
            i % 2 == 1 ? std::optional<std::string>("alte Ausgabe\r\n") : std::nullopt;
        const std::string verdict = Judge(dir, name, inputs[i], old);
        if (!verdict.empty()) ADD_FAILURE() << "mutation " << i << ": " << verdict;
        failures += verdict.empty() ? 0 : 1;
        ++(Convertible(inputs[i], name) ? converted : refused);
    }
    // Both outcomes occur, so the judgement is exercised on each side.
    EXPECT_GT(converted, 0);
    EXPECT_GT(refused, 0);
}

INSTANTIATE_TEST_SUITE_P(ExampleFiles, MutationSweepTest, ::testing::Values("haus.csv", "haus.kon"),
                         [](const auto& tc) { return tc.param.substr(5); });

}  // namespace
}  // namespace kon::test
