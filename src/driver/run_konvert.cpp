#include "driver/run_konvert.h"

#include <string>

#include "archive/kon_archive.h"
#include "driver/ascii_case.h"
#include "driver/load_model.h"
#include "driver/paths.h"
#include "driver/settings.h"
#include "io/output_file.h"
#include "model/kon_modell.h"
#include "text/kon_text.h"

namespace kon {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1;

// Releases the model on every way out of the run.
class ModelOwner {
  public:
    ModelOwner() = default;
    ModelOwner(const ModelOwner&) = delete;
    ModelOwner& operator=(const ModelOwner&) = delete;
    ~ModelOwner() { ReleaseModel(model); }
    KonModell model;
};

// The direction follows the input's name alone: "kon" in any case is
// written as text, everything else as an archive.
bool IsArchiveName(const std::string& input) {
    return EqualsIgnoreCase(PathExtension(input), "kon");
}

std::string OutputName(const std::string& input, bool toText) {
    return PathStem(input) + (toText ? Endung() : std::string(".kon"));
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

bool WriteText(const KonModell& model, const std::string& output, Console& console) {
    const char separator = Trenner();
    switch (
        WriteOutputFile(output, [&](std::ostream& out) { WriteKonText(model, out, separator); })) {
        case OutputResult::kWritten:
            return true;
        case OutputResult::kOpenFailed:
            console.PrintError(output + ": Can't open\n");
            console.Prompt("--> ");
            return false;
        case OutputResult::kWriteFailed:
            console.ReportAndWait("Fehler beim Schreiben von " + output + "!\n");
            return false;
    }
    return false;
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
    ModelOwner owner;
    KonModell& model = owner.model;

    LoadModel(model, input, console);
    if (model.Geladen == 0 || model.Variante != kVarianteMolk) {
        console.PrintError(input + " ist fehlerhaft\n");
        console.Prompt("--> ");
        return kExitFailed;
    }

    const bool toText = IsArchiveName(input);
    const std::string output = OutputName(input, toText);
    if (!MayOverwrite(output, console)) return kExitFailed;

    const bool written =
        toText ? WriteText(model, output, console) : WriteKonArchive(model, output, console) != 0;
    if (!written) return kExitFailed;

    console.Prompt("OK --> ");
    return kExitOk;
}

}  // namespace kon
