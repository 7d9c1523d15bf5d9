#include "support/mutation_sweep.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

#include "driver/paths.h"
#include "driver/settings.h"
#include "io/load_model.h"
#include "model/kon_modell.h"
#include "support/konvert_runner.h"
#include "text/ascii_case.h"

#ifndef KONVERT_EXAMPLES_DIR
#define KONVERT_EXAMPLES_DIR "examples"
#endif

namespace fs = std::filesystem;

namespace kon::test {

namespace {

void Spill(const fs::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// A model read from bytes the way the program reads its input.
struct LoadedModel {
    LoadedModel(const std::string& bytes, const std::string& name) {
        std::istringstream in(bytes, std::ios::in | std::ios::binary);
        ok = LoadKonStream(in, name, model).diagnostics.Ok();
    }

    bool Convertible() const { return ok && model.Variante == kVarianteMolk; }
    KonModell model;
    bool ok = false;
};

// What both forms keep exactly: the points' coordinates, the number of
// polygons and instances, and the derived lines an archive carries.
std::string Difference(const KonModell& a, const KonModell& b, bool linesKept) {
    if (a.Punkte.size() != b.Punkte.size()) return "point count";
    for (std::size_t i = 0; i < a.Punkte.size(); ++i) {
        const CObPunkt& p = a.Punkte[i];
        const CObPunkt& q = b.Punkte[i];
        if (p.X != q.X || p.Y != q.Y || p.Z != q.Z) return "point " + std::to_string(i);
    }
    if (a.Flaechenliste.size() != b.Flaechenliste.size()) return "polygon count";
    if (a.Instanzen.size() != b.Instanzen.size()) return "instance count";
    if (linesKept &&
        (a.Linien.size() != b.Linien.size() || a.StrichLinien.size() != b.StrichLinien.size() ||
         a.MassLinien.size() != b.MassLinien.size())) {
        return "line counts";
    }
    return "";
}

std::optional<std::string> ReadIfExists(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(file, ec)) return std::nullopt;
    return ReadFileBytes(file);
}

}  // namespace

std::vector<NamedBytes> ExampleFiles() {
    std::vector<NamedBytes> files;
    for (const auto& entry : fs::directory_iterator(KONVERT_EXAMPLES_DIR)) {
        if (entry.is_regular_file()) {
            files.push_back({entry.path().filename().string(), ReadFileBytes(entry.path())});
        }
    }
    std::sort(files.begin(), files.end(),
              [](const NamedBytes& a, const NamedBytes& b) { return a.name < b.name; });
    return files;
}

std::vector<NamedBytes> MutationsOf(const std::string& original) {
    std::vector<NamedBytes> mutations;
    for (std::size_t length = 0; length < original.size(); ++length) {
        mutations.push_back({"cut " + std::to_string(length), original.substr(0, length)});
    }
    struct Change {
        const char* name;
        unsigned char (*apply)(unsigned char);
    };
    static constexpr Change kChanges[] = {
        {"+1", [](unsigned char b) { return static_cast<unsigned char>(b + 1u); }},
        {"-1", [](unsigned char b) { return static_cast<unsigned char>(b - 1u); }},
        {"0x00", [](unsigned char) { return static_cast<unsigned char>(0x00); }},
        {"0xFF", [](unsigned char) { return static_cast<unsigned char>(0xFF); }},
    };
    for (std::size_t at = 0; at < original.size(); ++at) {
        const auto byte = static_cast<unsigned char>(original[at]);
        for (const Change& change : kChanges) {
            const unsigned char changed = change.apply(byte);
            if (changed == byte) continue;
            std::string bytes = original;
            bytes[at] = static_cast<char>(changed);
            mutations.push_back(
                {"byte " + std::to_string(at) + " " + change.name, std::move(bytes)});
        }
    }
    return mutations;
}

std::vector<NamedBytes> RandomInputs(unsigned seed, int count) {
    static const std::string kStarts[] = {"", "KON;MOLK\r\n", std::string("\x40\x0B\xE9\x07", 4)};
    std::mt19937 random(seed);
    std::vector<NamedBytes> inputs;
    for (int i = 0; i < count; ++i) {
        const std::string& start = kStarts[static_cast<std::size_t>(i) % std::size(kStarts)];
        std::string bytes = start;
        const auto size = std::uniform_int_distribution<std::size_t>(0, 700)(random);
        for (std::size_t k = 0; k < size; ++k) {
            bytes += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
        }
        // Both directions: an input named ".kon" is written as text.
        inputs.push_back(
            {"zufall" + std::to_string(i) + (i % 2 == 0 ? ".kon" : ".dat"), std::move(bytes)});
    }
    return inputs;
}

std::string OutputNameFor(const std::string& inputName) {
    const bool toText = EqualsIgnoreCase(PathExtension(inputName), "kon");
    return PathStem(inputName) + (toText ? Endung() : std::string(".kon"));
}

void Prepare(const SweepCase& c) {
    for (const auto& entry : fs::directory_iterator(c.dir)) fs::remove_all(entry.path());
    Spill(c.dir / c.inputName, c.inputBytes);
    if (c.oldOutput) Spill(c.dir / OutputNameFor(c.inputName), *c.oldOutput);
}

std::string SweepAnswers() {
    // Every wait takes a line, so "j" on each keeps the question's answer
    // whatever number of reports comes before it.
    constexpr int kLines = 8;
    std::string answers;
    for (int i = 0; i < kLines; ++i) answers += "j\n";
    return answers;
}

std::string Judge(const SweepCase& c, const SweepOutcome& outcome) {
    if (outcome.err.find("Sanitizer") != std::string::npos ||
        outcome.err.find("runtime error") != std::string::npos) {
        return "sanitizer report: " + outcome.err;
    }
    if (outcome.exitCode != 0 && outcome.exitCode != 1) {
        return "exit code " + std::to_string(outcome.exitCode);
    }
    const std::string outputName = OutputNameFor(c.inputName);
    for (const auto& entry : fs::directory_iterator(c.dir)) {
        const std::string name = entry.path().filename().string();
        if (name != c.inputName && name != outputName) return "left behind: " + name;
    }
    if (ReadFileBytes(c.dir / c.inputName) != c.inputBytes) return "input changed";
    const std::optional<std::string> output = ReadIfExists(c.dir / outputName);

    const LoadedModel expected(c.inputBytes, c.inputName);
    if (!expected.Convertible()) {
        if (outcome.exitCode != 1) return "faulty input converted";
        if (!EndsWith(outcome.err, " ist fehlerhaft\n") || !EndsWith(outcome.out, "--> ")) {
            return "no report: out=" + outcome.out + " err=" + outcome.err;
        }
        if (output != c.oldOutput) return "output changed by a failed run";
        return "";
    }
    if (outcome.exitCode != 0 || !EndsWith(outcome.out, "OK --> ") || !outcome.err.empty()) {
        return "loadable input not converted: out=" + outcome.out + " err=" + outcome.err;
    }
    if (!output) return "no output";
    const LoadedModel written(*output, outputName);
    if (!written.Convertible()) return "output does not read back";
    const bool toText = EqualsIgnoreCase(PathExtension(c.inputName), "kon");
    const std::string difference = Difference(expected.model, written.model, !toText);
    return difference.empty() ? "" : "output differs in " + difference;
}

}  // namespace kon::test
