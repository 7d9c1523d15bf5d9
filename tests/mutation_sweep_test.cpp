// Every example file cut short at every length and with every byte damaged,
// converted in-process with real files: each run converts completely or
// refuses with a report, and never leaves a changed or half-written output.

#include <gtest/gtest.h>

#include "driver/run_konvert.h"
#include "support/captured_console.h"
#include "support/konvert_runner.h"
#include "support/mutation_sweep.h"

namespace kon::test {
namespace {

const std::string kOldOutput = "alte Ausgabe\r\n";

SweepOutcome RunInProcess(const SweepCase& c) {
    CapturedConsole captured(SweepAnswers());
    const std::string input = (c.dir / c.inputName).string();
    const char* argv[] = {"konvert", input.c_str()};
    SweepOutcome outcome;
    outcome.exitCode = RunKonvert(2, argv, captured.console);
    outcome.out = captured.out.str();
    outcome.err = captured.err.str();
    return outcome;
}

struct Tally {
    int converted = 0;
    int refused = 0;
};

// Runs every input, half of them over an existing output, and reports each
// unsound outcome (the first few, so a systematic fault stays readable).
Tally Sweep(const std::string& fileName, const std::vector<NamedBytes>& inputs,
            bool nameFromInput) {
    constexpr int kReportedFailures = 10;
    Sandbox sandbox;
    Tally tally;
    int failures = 0;
    for (std::size_t i = 0; i < inputs.size() && failures < kReportedFailures; ++i) {
        SweepCase c{sandbox.dir() / "work", nameFromInput ? inputs[i].name : fileName,
                    inputs[i].bytes, std::nullopt};
        if (i % 2 == 1) c.oldOutput = kOldOutput;
        Prepare(c);
        const SweepOutcome outcome = RunInProcess(c);
        const std::string verdict = Judge(c, outcome);
        if (!verdict.empty()) {
            ADD_FAILURE() << c.inputName << " (" << inputs[i].name << "): " << verdict;
            ++failures;
        }
        ++(outcome.exitCode == 0 ? tally.converted : tally.refused);
    }
    return tally;
}

class MutationSweepTest : public ::testing::TestWithParam<NamedBytes> {};

TEST_P(MutationSweepTest, EveryDamagedCopyConvertsOrIsRefusedSoundly) {
    const NamedBytes& example = GetParam();
    ASSERT_FALSE(example.bytes.empty());
    const Tally original = Sweep(example.name, {{"unchanged", example.bytes}}, false);
    EXPECT_EQ(original.converted, 1);

    const Tally tally = Sweep(example.name, MutationsOf(example.bytes), false);
    // Both outcomes occur, so the judgement is exercised on each side.
    EXPECT_GT(tally.converted, 0);
    EXPECT_GT(tally.refused, 0);
}

INSTANTIATE_TEST_SUITE_P(ExampleFiles, MutationSweepTest, ::testing::ValuesIn(ExampleFiles()),
                         [](const auto& tc) {
                             std::string name = tc.param.name;
                             for (char& c : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             }
                             return name;
                         });

TEST(MutationSweepTest, RandomBytesAreRefusedSoundly) {
    const Tally tally = Sweep("", RandomInputs(20240611u, 300), true);
    EXPECT_GT(tally.refused, 0);
}

}  // namespace
}  // namespace kon::test
