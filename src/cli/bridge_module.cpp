// The assimp bridge as formats of kon: every export format it offers, and its
// import as the reader of every extension the linked assimp reads. On Linux
// this is the library kon loads when it first needs a format it does not
// know itself (bridge_formats.cpp): loading assimp costs every run of kon
// time and memory, most of which need none of it. Everything else it calls
// is kon's own, taken from the program that loads it.

#include "cli/format_registry.h"

#include <string_view>
#include <utility>

#include "bridge/assimp_bridge.h"
#include "kon_build_id.h"

namespace kon::cli {

namespace {

// The bridge names the file first ("chair.obj: ..."); kon's lines do that.
std::string WithoutFileName(std::string text, std::string_view path) {
    if (text.size() > path.size() + 1 && text.starts_with(path) &&
        std::string_view(text).substr(path.size(), 2) == ": ") {
        text.erase(0, path.size() + 2);
    }
    return text;
}

LoadResult ImportFile(const std::string& path, const ReadSettings& settings, KonModell& model) {
    const bridge::BridgeResult imported =
        bridge::ImportWithAssimp(path, bridge::ImportOptions{settings.scale}, model);
    LoadResult result;
    for (const std::string& warning : imported.warnings) {
        Diagnostic d;
        d.severity = Severity::kWarning;
        d.explanation = WithoutFileName(warning, path);
        result.diagnostics.items.push_back(std::move(d));
    }
    if (!imported.ok()) {
        Diagnostic d;
        d.kind = FaultKind::kImportFailed;
        d.explanation = WithoutFileName(imported.error, path);
        result.diagnostics.items.push_back(std::move(d));
    }
    return result;
}

}  // namespace

void AddAssimpFormats(FormatRegistry& registry);  // for the program that links it in

void AddAssimpFormats(FormatRegistry& registry) {
    for (const bridge::FormatInfo& info : bridge::AssimpExportFormats()) {
        registry.Add({.name = info.id,
                      .extension = "." + info.extension,
                      .description = info.description + " (assimp)",
                      .write = [id = info.id](const KonModell& model, std::ostream& out,
                                              const WriteSettings&) {
                          bridge::BridgeResult written = bridge::ExportWithAssimp(model, id, out);
                          return WriteReport{std::move(written.warnings), std::move(written.error)};
                      }});
    }
    // kon's own glTF writers gain assimp's reader; an extension that no
    // format has yet becomes a format that is only read.
    for (const bridge::ImportFormat& imported : bridge::AssimpImportFormats()) {
        const std::string extension = "." + imported.extension;
        if (!registry.AddReader(extension, ImportFile) &&
            registry.Find(imported.extension) == nullptr) {
            registry.Add({.name = imported.extension,
                          .extension = extension,
                          .description = imported.description + " (assimp)",
                          .read = ImportFile});
        }
    }
}

}  // namespace kon::cli

extern "C" {

// What the program and this library must agree on to work together.
const char* kon_bridge_build() {
    return KON_BRIDGE_BUILD;
}

void kon_add_bridge_formats(kon::cli::FormatRegistry& registry) {
    kon::cli::AddAssimpFormats(registry);
}
}
