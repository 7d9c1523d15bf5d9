#pragma once
// Damaged inputs and the judgement of one conversion of them: either a
// complete conversion whose output reads back as the same model, or exit 1
// with a report and every file as it was.

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace kon::test {

struct NamedBytes {
    std::string name;
    std::string bytes;
};

// Test names show the name, not the bytes.
inline void PrintTo(const NamedBytes& named, std::ostream* os) {
    *os << named.name;
}

// The files shipped in examples/, by file name.
std::vector<NamedBytes> ExampleFiles();

// Every cut of `original` to 0..size-1 bytes and every byte changed to +1,
// -1, 0x00 and 0xFF (changes that leave the byte as it was are left out).
std::vector<NamedBytes> MutationsOf(const std::string& original);

// Random bytes, also behind the start of a text file and of an archive so the
// readers get past their first check.
std::vector<NamedBytes> RandomInputs(unsigned seed, int count);

// The name konvert writes for `inputName`: a ".kon" input becomes a text file.
std::string OutputNameFor(const std::string& inputName);

// The scene of one run: the directory holds the input and, when `oldOutput`
// is set, an output with those bytes; nothing else.
struct SweepCase {
    std::filesystem::path dir;
    std::string inputName;
    std::string inputBytes;
    std::optional<std::string> oldOutput;
};

struct SweepOutcome {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Empties the directory and lays out the case's files.
void Prepare(const SweepCase& c);

// Standard input for a run: "j" for the overwrite question and enough lines
// for every wait.
std::string SweepAnswers();

// Empty when the outcome is sound, else what went wrong.
std::string Judge(const SweepCase& c, const SweepOutcome& outcome);

}  // namespace kon::test
