// Reading any file assimp knows into a Kon model.

#include <assimp/importerdesc.h>
#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Importer.hpp>

#include <algorithm>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <limits>
#include <string>

#include "bridge/allocation_guard.h"
#include "bridge/assimp_bridge.h"

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

// What one allocation may take while a file is read: a fixed floor for small
// files, and room for zipped formats (3MF, zae) that unpack to far more than
// their size. A reader that asks for more believed a count the file cannot
// back.
constexpr std::uintmax_t kCapFloor = std::uintmax_t{256} << 20;
constexpr std::uintmax_t kCapPerFileByte = 1024;

std::size_t ImportAllocationCap(const std::string& path) {
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec || size > (std::numeric_limits<std::size_t>::max() - kCapFloor) / kCapPerFileByte) {
        return 0;  // no cap where it cannot be worked out
    }
    return static_cast<std::size_t>(kCapFloor + size * kCapPerFileByte);
}

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
    const aiScene* scene = nullptr;
    std::size_t refused = 0;
    // No triangulation: Kon keeps polygons. The validation keeps every index
    // the mapping follows within its array.
    try {
        const AllocationCap cap(ImportAllocationCap(path));
        scene = importer.ReadFile(
            path, aiProcess_JoinIdenticalVertices | aiProcess_ValidateDataStructure);
        refused = cap.Refused();
    } catch (const std::exception& e) {
        result.error = path + ": " + e.what();
        return result;
    }
    if (refused != 0) {
        result.error = path + ": the file asks for " + std::to_string(refused) +
                       " bytes of memory at once, more than a file of its size can need";
        return result;
    }
    if (scene == nullptr) {
        std::string why = importer.GetErrorString();
        // Some of assimp's messages end in blanks or a line end.
        while (!why.empty() && (why.back() == ' ' || why.back() == '\n' || why.back() == '\r')) {
            why.pop_back();
        }
        result.error = path + ": " + (why.empty() ? "assimp cannot read this file" : why);
        return result;
    }
    try {
        result =
            MapScene(*scene, options.scale.value_or(DefaultScale(path)), model, SourceAxes(path));
    } catch (const std::bad_alloc&) {
        model = KonModell{};
        result = {{}, "the model does not fit in memory"};
    }
    if (!result.ok()) result.error = path + ": " + result.error;
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
