#pragma once
// One input of kon: loaded by content, with the plain "not a Kon file" answer
// for bytes that are neither form, and the figures info shows.

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "cli/format_registry.h"
#include "io/load_model.h"
#include "model/kon_modell.h"

namespace kon::cli {

// Loads the file; a file whose bytes are neither a Kon text file nor start
// with an archive header word gets the plain explanation at byte 0.
LoadResult LoadInput(const std::string& path, KonModell& model);

// The same, except that a file of neither form is read by the registry's
// reader for its extension, where there is one (the assimp bridge's).
LoadResult LoadAnyInput(const std::string& path, const FormatRegistry& registry,
                        const ReadSettings& settings, KonModell& model);

struct Bounds {
    std::array<std::int32_t, 3> min{};
    std::array<std::int32_t, 3> max{};
};

struct ModelSummary {
    std::size_t points = 0;
    std::size_t polygons = 0;
    std::map<std::int32_t, std::size_t> polygonsByCorners;
    std::size_t instances = 0;
    std::size_t lines = 0;
    std::size_t dashedLines = 0;
    std::size_t dimensionLines = 0;
    std::size_t supplements = 0;
    std::optional<Bounds> bounds;  // none without points
};

ModelSummary Summarize(const KonModell& model);

inline const char* VariantName(const KonModell& model) {
    return model.Variante == kVarianteTav ? "TAV" : "MOLK";
}

}  // namespace kon::cli
