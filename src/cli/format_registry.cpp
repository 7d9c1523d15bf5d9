#include "cli/format_registry.h"

#include <ostream>

#include "archive/kon_archive.h"
#include "text/kon_text.h"

#include "export/gltf.h"
#include "export/svg_plan.h"

namespace kon::cli {

std::string AsciiLowerCopy(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

namespace {

// A MOLK archive has no place for supplement lists; only TAV points carry them.
std::vector<std::string> ArchiveLosses(const KonModell& model) {
    if (model.Variante == kVarianteTav) return {};
    std::size_t entries = 0;
    for (const CObPunkt& p : model.Punkte) entries += p.Zusatz.size();
    if (entries == 0) return {};
    std::string text = std::to_string(entries);
    text += entries == 1 ? " supplement entry is" : " supplement entries are";
    text += " left out: a MOLK archive holds none";
    return {text};
}

}  // namespace

FormatRegistry FormatRegistry::Standard() {
    FormatRegistry registry;
    registry.Add({.name = "kon",
                  .extension = ".kon",
                  .description = "Kon archive",
                  .readByContent = true,
                  .refuse = CheckFitsKonArchive,
                  .write = [](const KonModell& model, std::ostream& out, const WriteSettings&) {
                      WriteKonArchive(model, out);
                      return WriteReport{ArchiveLosses(model)};
                  }});
    registry.Add(
        {.name = "csv",
         .extension = ".csv",
         .description = "Kon text file",
         .usesTextExtension = true,
         .readByContent = true,
         .refuse = CheckFitsKonText,
         .write = [](const KonModell& model, std::ostream& out, const WriteSettings& settings) {
             WriteKonText(model, out, settings.separator);
             return WriteReport{};
         }});
    registry.Add(
        {.name = "svg",
         .extension = ".svg",
         .description = "plan drawing in the X/Y plane (SVG)",
         .write = [](const KonModell& model, std::ostream& out, const WriteSettings& settings) {
             WriteSvgPlan(model, out, SvgOptions{settings.fill});
             return WriteReport{};
         }});
    registry.Add({.name = "glb",
                  .extension = ".glb",
                  .description = "glTF 2.0 binary",
                  .write = [](const KonModell& model, std::ostream& out, const WriteSettings&) {
                      WriteGltf(model, out, GltfForm::kBinary);
                      return WriteReport{};
                  }});
    registry.Add({.name = "gltf",
                  .extension = ".gltf",
                  .description = "glTF 2.0 JSON with embedded buffer",
                  .write = [](const KonModell& model, std::ostream& out, const WriteSettings&) {
                      WriteGltf(model, out, GltfForm::kJson);
                      return WriteReport{};
                  }});
    AddBridgeFormats(registry);
    return registry;
}

const Format* FormatRegistry::Find(std::string_view name) const {
    const std::string lower = AsciiLowerCopy(name);
    for (const Format& f : formats_) {
        if (f.name == lower) return &f;
    }
    return nullptr;
}

const Format* FormatRegistry::ByExtension(std::string_view extension,
                                          const WriteSettings& settings) const {
    const std::string lower = AsciiLowerCopy(extension);
    for (const Format& f : formats_) {
        const std::string& own = f.usesTextExtension ? settings.extension : f.extension;
        if (f.CanWrite() && AsciiLowerCopy(own) == lower) return &f;
    }
    return nullptr;
}

bool FormatRegistry::AddReader(std::string_view extension, const ReadFunction& read) {
    const std::string lower = AsciiLowerCopy(extension);
    bool added = false;
    for (Format& f : formats_) {
        if (!f.readByContent && AsciiLowerCopy(f.extension) == lower) {
            f.read = read;
            added = true;
        }
    }
    return added;
}

const Format* FormatRegistry::Reader(std::string_view extension) const {
    const std::string lower = AsciiLowerCopy(extension);
    for (const Format& f : formats_) {
        if (f.read != nullptr && AsciiLowerCopy(f.extension) == lower) return &f;
    }
    return nullptr;
}

std::vector<std::string> FormatRegistry::WritableNames() const {
    std::vector<std::string> names;
    for (const Format& f : formats_) {
        if (f.CanWrite()) names.push_back(f.name);
    }
    return names;
}

}  // namespace kon::cli
