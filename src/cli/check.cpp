#include <ostream>

#include "cli/commands.h"
#include "cli/kon_file.h"
#include "cli/report.h"

namespace kon::cli {

namespace {

constexpr const char* kTavNote = "konvert itself refuses to convert TAV models";

}  // namespace

int RunCheck(const InspectOptions& options, std::ostream& out, std::ostream& err) {
    int code = kExitOk;
    for (const std::string& file : options.files) {
        KonModell model;
        const LoadResult loaded = LoadInput(file, model);
        const bool valid = loaded.diagnostics.Ok();
        if (!valid) code = kExitFailed;
        if (options.json) {
            nlohmann::ordered_json object;
            object["file"] = file;
            object["valid"] = valid;
            object["variant"] = valid ? nlohmann::ordered_json(VariantName(model)) : nullptr;
            object["error"] = ErrorJson(loaded.diagnostics);
            object["warnings"] = WarningsJson(loaded.diagnostics);
            out << JsonLine(object);
            continue;
        }
        // The faults in the order they were found: the notes of a failed
        // check, the error, and the end check's warning.
        out.flush();
        err << RenderDiagnostics(file, loaded.diagnostics);
        err.flush();
        if (!valid) continue;
        out << Printable(file) << ": valid " << VariantName(model) << " Kon "
            << (loaded.form == KonForm::kText ? "text file" : "archive");
        if (model.Variante == kVarianteTav) out << " (" << kTavNote << ")";
        out << '\n';
    }
    return code;
}

}  // namespace kon::cli
