// Reading any file assimp knows into a Kon model.

#include <assimp/DefaultIOStream.h>
#include <assimp/DefaultIOSystem.h>
#include <assimp/importerdesc.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <limits>
#include <string>
#include <vector>

#include "bridge/allocation_guard.h"
#include "bridge/assimp_bridge.h"
#include "io/platform.h"

namespace kon::bridge {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    for (char& c : lower) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return lower;
}

std::string LowerExtension(std::string_view path) {
    const std::size_t slash = path.find_last_of("/\\");
    const std::size_t dot = path.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash)) {
        return {};
    }
    return Lower(path.substr(dot + 1));
}

// glTF is metres with Y up; assimp turns Collada into the same, whatever
// unit and up axis the file states.
bool MetresYUp(std::string_view path) {
    const std::string ext = LowerExtension(path);
    return ext == "gltf" || ext == "glb" || ext == "dae" || ext == "zae";
}

namespace fs = std::filesystem;

// What one allocation may take while a file is read: a fixed floor for small
// files, and room for zipped formats (3MF, zae) that unpack to far more than
// their size; each file it names (a glTF buffer) widens it the same way. A
// reader that asks for more believed a count the data cannot back.
constexpr std::uintmax_t kCapFloor = std::uintmax_t{256} << 20;
constexpr std::uintmax_t kCapPerFileByte = 1024;

std::size_t ImportAllocationCap(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = fs::file_size(path, ec);
    if (ec || size > (std::numeric_limits<std::size_t>::max() - kCapFloor) / kCapPerFileByte) {
        return 0;  // no cap where it cannot be worked out
    }
    return static_cast<std::size_t>(kCapFloor + size * kCapPerFileByte);
}

// A stream over a file that was checked once opened; its size is the opened
// file's, not that of whatever the name means by the time assimp asks.
class CheckedStream : public Assimp::DefaultIOStream {
  public:
    CheckedStream(FILE* file, const std::string& name, std::size_t size)
        : DefaultIOStream(file, name), size_(size) {}
    std::size_t FileSize() const override { return size_; }

  private:
    std::size_t size_;
};

// Model files name other files (an OBJ's mtllib, a glTF's buffer uri), and
// the name may be /etc/shadow, "../../secret", a FIFO that blocks the reader
// forever or /dev/zero that never ends. assimp reads the model itself and,
// of the files it names, the regular ones in its folder or below it.
class FolderIOSystem : public Assimp::DefaultIOSystem {
  public:
    explicit FolderIOSystem(std::string model) : model_(std::move(model)) {
        std::error_code ec;
        folder_ = fs::weakly_canonical(fs::absolute(model_, ec).parent_path(), ec);
        if (ec) folder_.clear();
    }

    // Consistent with Open: a file exists for assimp when it may be read.
    bool Exists(const char* name) const override {
        FILE* file = OpenChecked(name, nullptr);
        if (file != nullptr) std::fclose(file);
        return file != nullptr;
    }

    Assimp::IOStream* Open(const char* name, const char* mode) override {
        if (std::strpbrk(mode, "wa+") != nullptr) return nullptr;
        std::size_t size = 0;
        FILE* file = OpenChecked(name, &size);
        return file == nullptr ? nullptr : new CheckedStream(file, name, size);
    }

    // The names refused in order, one for each file however often named.
    const std::vector<std::string>& Refused() const { return refused_; }

  private:
    FILE* OpenChecked(const std::string& name, std::size_t* size) const {
        fs::path path = name;
        // The model itself was checked by the caller and may be a link to
        // anywhere; the files it names are taken as their links resolve.
        if (name != model_) {
            std::error_code ec;
            path = fs::weakly_canonical(fs::absolute(path, ec), ec);
            const fs::file_status status = fs::status(path, ec);
            // assimp tells what is missing; when a name fails it also tries
            // variants of it, some of them folders, which need no warning.
            if (!fs::exists(status) || fs::is_directory(status)) return nullptr;
            if (!Below(path) || !fs::is_regular_file(status)) return Refuse(name, path);
        }
        // Not waiting on a FIFO; a checked name must not have become a link since.
        const platform::OpenedFile opened = platform::OpenRegularFile(path, name != model_);
        if (opened.irregular) return Refuse(name, path);
        // What a named file holds may be needed in memory as well.
        if (opened.file != nullptr && name != model_ && size != nullptr) {
            AllocationCap::Raise(static_cast<std::size_t>(
                std::min<std::uintmax_t>(opened.size, SIZE_MAX / kCapPerFileByte) *
                kCapPerFileByte));
        }
        if (size != nullptr) *size = static_cast<std::size_t>(opened.size);
        return opened.file;
    }

    bool Below(const fs::path& path) const {
        if (folder_.empty()) return false;
        const auto [f, p] = std::mismatch(folder_.begin(), folder_.end(), path.begin(), path.end());
        return f == folder_.end() && p != path.end();
    }

    FILE* Refuse(const std::string& name, const fs::path& path) const {
        if (std::find(refusedFiles_.begin(), refusedFiles_.end(), path) == refusedFiles_.end()) {
            refusedFiles_.push_back(path);
            refused_.push_back(name);
        }
        return nullptr;
    }

    std::string model_;
    fs::path folder_;
    mutable std::vector<std::string> refused_;
    mutable std::vector<fs::path> refusedFiles_;
};

}  // namespace

double DefaultScale(std::string_view path) {
    return MetresYUp(path) ? 1000.0 : 1.0;
}

Axes SourceAxes(std::string_view path) {
    return MetresYUp(path) ? Axes::kYUpToZUp : Axes::kAsStored;
}

BridgeResult ImportWithAssimp(const std::string& path, const ImportOptions& options,
                              KonModell& model) {
    BridgeResult result;
    Assimp::Importer importer;
    auto* files = new FolderIOSystem(path);
    importer.SetIOHandler(files);  // the importer owns it
    const aiScene* scene = nullptr;
    std::string why;
    // No triangulation: Kon keeps polygons. The validation keeps every index
    // the mapping follows within its array.
    try {
        const AllocationCap cap(ImportAllocationCap(path));
        scene = importer.ReadFile(
            path, aiProcess_JoinIdenticalVertices | aiProcess_ValidateDataStructure);
        if (scene == nullptr) why = importer.GetErrorString();
        // A reader that went on after a refused allocation may have left
        // parts out: the file is refused either way.
        if (const std::size_t refused = cap.Refused(); refused != 0) {
            scene = nullptr;
            why = "the file asks for " + std::to_string(refused) +
                  " bytes of memory at once, more than its data can need";
        }
    } catch (const std::exception& e) {
        why = e.what();
    }
    for (const std::string& name : files->Refused()) {
        result.warnings.push_back("the referenced file " + name +
                                  " is not read: only regular files in the model's folder or "
                                  "below it are read");
    }
    if (scene == nullptr) {
        // Some of assimp's messages end in blanks or a line end.
        while (!why.empty() && (why.back() == ' ' || why.back() == '\n' || why.back() == '\r')) {
            why.pop_back();
        }
        result.error = why.empty() ? "assimp cannot read this file" : why;
    } else {
        try {
            BridgeResult mapped = MapScene(*scene, options.scale.value_or(DefaultScale(path)),
                                           model, SourceAxes(path));
            result.error = std::move(mapped.error);
            for (std::string& w : mapped.warnings) result.warnings.push_back(std::move(w));
        } catch (const std::bad_alloc&) {
            model = KonModell{};
            result.error = "the model does not fit in memory";
        }
    }
    if (!result.ok()) {
        // A refused file is often why the model failed; the error tells it,
        // as the warnings of a failed file go unread.
        for (const std::string& w : result.warnings) result.error += "; " + w;
        result.warnings.clear();
        result.error = path + ": " + result.error;
    }
    for (std::string& w : result.warnings) w = path + ": " + w;
    return result;
}

std::vector<ImportFormat> AssimpImportFormats() {
    const Assimp::Importer importer;
    std::vector<ImportFormat> formats;
    for (std::size_t i = 0; i < importer.GetImporterCount(); ++i) {
        const aiImporterDesc* desc = importer.GetImporterInfo(i);
        if (desc == nullptr || desc->mFileExtensions == nullptr) continue;
        std::string name = desc->mName == nullptr ? "" : desc->mName;
        for (const std::string_view suffix : {" Importer", " importer", " Loader", " loader"}) {
            if (name.ends_with(suffix)) name.resize(name.size() - suffix.size());
        }
        // "obj objnomtl": extensions apart by blanks, some with a "*." first.
        const std::string_view list = desc->mFileExtensions;
        std::size_t at = 0;
        while (at < list.size()) {
            std::size_t end = list.find(' ', at);
            if (end == std::string_view::npos) end = list.size();
            std::string_view item = list.substr(at, end - at);
            if (item.starts_with("*.")) item.remove_prefix(2);
            if (!item.empty()) formats.push_back({Lower(item), name});
            at = end + 1;
        }
    }
    // One reader per extension: the first that assimp itself would try.
    std::stable_sort(
        formats.begin(), formats.end(),
        [](const ImportFormat& a, const ImportFormat& b) { return a.extension < b.extension; });
    formats.erase(std::unique(formats.begin(), formats.end(),
                              [](const ImportFormat& a, const ImportFormat& b) {
                                  return a.extension == b.extension;
                              }),
                  formats.end());
    return formats;
}

std::vector<std::string> AssimpImportExtensions() {
    std::vector<std::string> extensions;
    for (ImportFormat& f : AssimpImportFormats()) extensions.push_back(std::move(f.extension));
    return extensions;
}

}  // namespace kon::bridge
