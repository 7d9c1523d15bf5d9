#include "driver/run_konvert.h"

#include <filesystem>
#include <functional>
#include <string>

#include "archive/kon_archive.h"
#include "driver/paths.h"
#include "driver/settings.h"
#include "io/load_model.h"
#include "io/output_file.h"
#include "model/kon_modell.h"
#include "text/ascii_case.h"
#include "text/kon_text.h"

namespace kon {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// The direction follows the input's name alone: "kon" in any case is
// written as text, everything else as an archive.
bool IsArchiveName(const std::string& input) {
    return EqualsIgnoreCase(PathExtension(input), "kon");
}

std::string OutputName(const std::string& input, bool toText) {
    return PathStem(input) + (toText ? Endung() : std::string(".kon"));
}

// konvert's dialogue: notes go out as they are, warnings and errors wait
// for Return.
void Render(const Diagnostics& diagnostics, Console& console) {
    for (const Diagnostic& d : diagnostics.items) {
        if (d.severity == Severity::kNote) {
            console.Print(d.message);
        } else {
            console.ReportAndWait(d.message);
        }
    }
}

// True when the output may be written: it does not exist, or the user's
// answer starts with j or J. At the end of standard input the answer is no.
bool MayOverwrite(const std::string& output, Console& console) {
    if (!OutputNameTaken(output)) return true;
    std::string answer;
    const bool answered = console.Ask(
        "Datei " + PathBaseNameCopy(output) + " ist schon vorhanden! Ueberschreiben ? <j/n> ",
        answer);
    return answered && !answer.empty() && (answer[0] == 'j' || answer[0] == 'J');
}

// Writes either form through the one file replacement; only the report of
// an output that cannot be opened differs between them.
bool WriteOutput(const std::string& output, bool toText, Console& console,
                 const std::function<void(std::ostream&)>& write) {
    switch (WriteOutputFile(output, write)) {
        case OutputResult::kWritten:
            return true;
        case OutputResult::kOpenFailed:
        case OutputResult::kNameTaken:  // konvert always replaces
            if (toText) {
                console.PrintError(output + ": Can't open\n");
                console.Prompt("--> ");
            } else {
                console.ReportAndWait("Can't open " + output + "!\n");
            }
            return false;
        case OutputResult::kWriteFailed:
            console.ReportAndWait("Fehler beim Schreiben von " + output + "!\n");
            return false;
    }
    return false;
}

bool WriteModel(const KonModell& model, const std::string& output, bool toText, Console& console) {
    if (toText) {
        const char separator = Trenner();
        return WriteOutput(output, toText, console,
                           [&](std::ostream& out) { WriteKonText(model, out, separator); });
    }
    // Checked before anything is created: a count the 16-bit words cannot hold
    // would silently wrap in the file.
    if (const auto tooLarge = CheckFitsKonArchive(model)) {
        console.ReportAndWait(tooLarge->message);
        return false;
    }
    return WriteOutput(output, toText, console,
                       [&](std::ostream& out) { WriteKonArchive(model, out); });
}

}  // namespace

int RunKonvert(int argc, const char* const* argv, Console& console) {
    if (argc != 2) {
        const char* program = (argc > 0 && argv[0] != nullptr) ? argv[0] : "";
        console.PrintError("Usage: " + PathBaseNameCopy(program) + " Kon-datei\n");
        console.Prompt("--> ");
        return kExitFailed;
    }
    const std::string input = argv[1];
    KonModell model;

    const LoadResult loaded = LoadKonFile(input, model);
    Render(loaded.diagnostics, console);
    // konvert itself converts MOLK models only.
    if (!loaded.diagnostics.Ok() || model.Variante != kVarianteMolk) {
        console.PrintError(input + " ist fehlerhaft\n");
        console.Prompt("--> ");
        return kExitFailed;
    }

    const bool toText = IsArchiveName(input);
    const std::string output = OutputName(input, toText);
    if (!MayOverwrite(output, console)) return kExitFailed;
    if (!WriteModel(model, output, toText, console)) return kExitFailed;

    console.Prompt("OK --> ");
    return kExitOk;
}

}  // namespace kon
