#pragma once
// The bridge between Kon models and the formats the Open Asset Import Library
// reads and writes. Front-end independent: results are values, every loss is
// a warning, every refusal an error with its numbers; nothing is printed.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/kon_modell.h"
#include "model/limits.h"

struct aiScene;

namespace kon::bridge {

// Both Kon forms hold at most 32767 points and 32767 polygons (the text
// reader refuses longer sections); an archive also limits its index objects
// and derived lines, which the caller checks when it writes one
// (CheckFitsKonArchive).
inline constexpr auto kMaxPunkte = static_cast<std::size_t>(kMaxItems);
inline constexpr auto kMaxFlaechen = static_cast<std::size_t>(kMaxItems);

struct ImportOptions {
    // Kon units per source unit; without it DefaultScale of the file's format.
    std::optional<double> scale;
};

struct BridgeResult {
    std::vector<std::string> warnings;
    std::string error;  // empty on success
    bool ok() const { return error.empty(); }
};

// How source axes become Kon axes: glTF is Y up, Kon is Z up.
enum class Axes : std::uint8_t { kAsStored, kYUpToZUp };

// glTF and glb are metres with Y up, and so is Collada (dae, zae) as assimp
// reads it: 1000 Kon units (millimetres) per metre, turned to Z up. Every
// other format: 1, axes as stored.
double DefaultScale(std::string_view path);
Axes SourceAxes(std::string_view path);

// Reads `path` with assimp and maps it with MapScene. Errors and warnings
// start with the path ("chair.obj: ...").
BridgeResult ImportWithAssimp(const std::string& path, const ImportOptions& options,
                              KonModell& model);

// The mapping alone, for scenes from anywhere (tests, fuzzing). Replaces the
// model's geometry; on success the lines are derived, as
// after reading a Kon text file. On failure the model is left empty.
BridgeResult MapScene(const aiScene& scene, double scale, KonModell& model,
                      Axes axes = Axes::kAsStored);

struct FormatInfo {
    std::string id;           // what --to takes
    std::string extension;    // without the dot
    std::string description;  // assimp's own
    bool colours = false;     // per-point colours survive
    bool texcoords = false;   // texture coordinates survive
    bool nodes = false;       // instance placements become nodes
};

// The export formats of the linked assimp that the bridge writes.
std::vector<FormatInfo> AssimpExportFormats();
struct ImportFormat {
    std::string extension;    // lower case, without the dot
    std::string description;  // the name of assimp's reader
};

// Every file extension the linked assimp imports, once each, in order.
std::vector<ImportFormat> AssimpImportFormats();
std::vector<std::string> AssimpImportExtensions();

// Writes the model in the format `formatId` (an id of AssimpExportFormats)
// to `out`. Nothing is written on failure.
BridgeResult ExportWithAssimp(const KonModell& model, const std::string& formatId,
                              std::ostream& out);

}  // namespace kon::bridge
