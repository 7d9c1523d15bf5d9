#include <filesystem>
#include <ostream>

#include "cli/commands.h"
#include "cli/kon_file.h"
#include "cli/report.h"

namespace kon::cli {

namespace {

const char* FormName(KonForm form) {
    return form == KonForm::kText ? "text" : "archive";
}

std::string Triple(const std::array<std::int32_t, 3>& v) {
    std::string text = "(";
    for (std::size_t k = 0; k < v.size(); ++k) {
        if (k != 0) text += ", ";
        text += std::to_string(v[k]);
    }
    return text + ")";
}

std::string Describe(const std::string& file, const LoadResult& loaded, const KonModell& model) {
    const ModelSummary s = Summarize(model);
    std::error_code ec;
    const auto size = std::filesystem::file_size(file, ec);
    std::string text = Printable(file);
    text += loaded.form == KonForm::kText ? ": Kon text file, " : ": Kon archive, ";
    text += VariantName(model);
    text += ", ";
    text += ec ? std::string("?") : std::to_string(size);
    text += " bytes\n";
    auto row = [&text](const char* name, const std::string& value) {
        std::string line = "  ";
        line += name;
        line.resize(19, ' ');
        text += line + value + "\n";
    };
    std::string polygons = std::to_string(s.polygons);
    if (!s.polygonsByCorners.empty()) {
        std::string parts;
        for (const auto& [corners, count] : s.polygonsByCorners) {
            if (!parts.empty()) parts += ", ";
            parts += std::to_string(count) + " with " + std::to_string(corners);
        }
        polygons += " (" + parts + " corners)";
    }
    row("points", std::to_string(s.points));
    row("polygons", polygons);
    row("instances", std::to_string(s.instances));
    row("lines", std::to_string(s.lines));
    row("dashed lines", std::to_string(s.dashedLines));
    row("dimension lines", std::to_string(s.dimensionLines));
    row("supplements", std::to_string(s.supplements));
    std::string bounds = "none (no points)";
    if (s.bounds) {
        bounds = "min ";
        bounds += Triple(s.bounds->min);
        bounds += ", max ";
        bounds += Triple(s.bounds->max);
    }
    row("bounds", bounds);
    return text;
}

nlohmann::ordered_json InfoJson(const std::string& file, const LoadResult& loaded,
                                const KonModell& model) {
    const bool ok = loaded.diagnostics.Ok();
    const Diagnostic* error = loaded.diagnostics.Error();
    const bool opened = ok || error->kind != FaultKind::kCannotOpen;
    nlohmann::ordered_json object;
    object["file"] = file;
    object["form"] = opened ? nlohmann::ordered_json(FormName(loaded.form)) : nullptr;
    object["variant"] = ok ? nlohmann::ordered_json(VariantName(model)) : nullptr;
    const ModelSummary s = Summarize(model);
    auto count = [ok](std::size_t n) { return ok ? nlohmann::ordered_json(n) : nullptr; };
    if (ok) {
        nlohmann::ordered_json byCorners = nlohmann::ordered_json::object();
        for (const auto& [corners, n] : s.polygonsByCorners) byCorners[std::to_string(corners)] = n;
        object["points"] = s.points;
        object["polygons"] = {{"total", s.polygons}, {"by_corners", byCorners}};
    } else {
        object["points"] = nullptr;
        object["polygons"] = nullptr;
    }
    object["instances"] = count(s.instances);
    object["lines"] = count(s.lines);
    object["dashed_lines"] = count(s.dashedLines);
    object["dimension_lines"] = count(s.dimensionLines);
    object["supplements"] = count(s.supplements);
    if (ok && s.bounds) {
        object["bounds"] = {{"min", s.bounds->min}, {"max", s.bounds->max}};
    } else {
        object["bounds"] = nullptr;
    }
    object["error"] = ErrorJson(loaded.diagnostics);
    return object;
}

}  // namespace

int RunInfo(const InspectOptions& options, std::ostream& out, std::ostream& err) {
    int code = kExitOk;
    bool first = true;
    for (const std::string& file : options.files) {
        KonModell model;
        const LoadResult loaded = LoadInput(file, model);
        if (!loaded.diagnostics.Ok()) code = kExitFailed;
        if (options.json) {
            out << JsonLine(InfoJson(file, loaded, model));
            continue;
        }
        out.flush();
        if (!loaded.diagnostics.Ok()) {
            err << RenderDiagnostic(file, *loaded.diagnostics.Error());
            continue;
        }
        for (const Diagnostic& d : loaded.diagnostics.items) {
            if (d.severity == Severity::kWarning) err << RenderDiagnostic(file, d);
        }
        if (!first) out << '\n';
        first = false;
        out << Describe(file, loaded, model);
    }
    return code;
}

}  // namespace kon::cli
