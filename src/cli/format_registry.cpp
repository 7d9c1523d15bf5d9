#include "cli/format_registry.h"

#include <mutex>
#include <ostream>
#include <utility>

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

struct FormatRegistry::Later {
    std::function<void(FormatRegistry&)> add;
    std::once_flag once;
    std::vector<Format> all;  // set once, read only from then on
};

FormatRegistry::FormatRegistry() = default;
FormatRegistry::FormatRegistry(FormatRegistry&&) noexcept = default;
FormatRegistry& FormatRegistry::operator=(FormatRegistry&&) noexcept = default;
FormatRegistry::~FormatRegistry() = default;

void FormatRegistry::AddLater(std::function<void(FormatRegistry&)> add) {
    later_ = std::make_unique<Later>();
    later_->add = std::move(add);
}

const std::vector<Format>& FormatRegistry::All() const {
    if (later_ == nullptr) return formats_;
    Later& later = *later_;
    // The formats answered so far stay where they are: the complete list is
    // a copy, so pointers handed out before stay valid.
    std::call_once(later.once, [&] {
        FormatRegistry more;
        more.formats_ = formats_;
        later.add(more);
        later.all = std::move(more.formats_);
    });
    return later.all;
}

namespace {

// The first format of `formats` that `wanted` takes; null for none.
template <typename Wanted>
const Format* First(const std::vector<Format>& formats, Wanted wanted) {
    for (const Format& f : formats) {
        if (wanted(f)) return &f;
    }
    return nullptr;
}

}  // namespace

const Format* FormatRegistry::Find(std::string_view name) const {
    const std::string lower = AsciiLowerCopy(name);
    const auto named = [&](const Format& f) { return f.name == lower; };
    if (const Format* own = First(formats_, named)) return own;
    return First(All(), named);
}

const Format* FormatRegistry::ByExtension(std::string_view extension,
                                          const WriteSettings& settings) const {
    const std::string lower = AsciiLowerCopy(extension);
    const auto writes = [&](const Format& f) {
        const std::string& own = f.usesTextExtension ? settings.extension : f.extension;
        return f.CanWrite() && AsciiLowerCopy(own) == lower;
    };
    if (const Format* own = First(formats_, writes)) return own;
    return First(All(), writes);
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
    const auto reads = [&](const Format& f) {
        return f.read != nullptr && AsciiLowerCopy(f.extension) == lower;
    };
    // kon's own formats are read by content; readers by name come with the
    // formats added later.
    return First(All(), reads);
}

std::vector<std::string> FormatRegistry::WritableNames() const {
    std::vector<std::string> names;
    for (const Format& f : All()) {
        if (f.CanWrite()) names.push_back(f.name);
    }
    return names;
}

}  // namespace kon::cli
