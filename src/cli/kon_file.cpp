#include "cli/kon_file.h"

#include <algorithm>
#include <fstream>

#include "cli/output_naming.h"

namespace kon::cli {

namespace {

constexpr std::uint32_t kHeaderMolk = 2880;
constexpr std::uint32_t kHeaderTav = 5760;
constexpr const char* kNotKon =
    "not a Kon file: expected a Kon archive header (2880/2025 or 5760/4000) or a text file "
    "starting with KON";

// Whether the file starts with one of the two archive header words; the
// text form was ruled out by the loader already.
bool StartsWithHeaderWord(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    unsigned char bytes[4] = {0, 0, 0, 0};
    in.read(reinterpret_cast<char*>(bytes), sizeof bytes);
    if (in.gcount() != sizeof bytes) return false;
    const std::uint32_t word = std::uint32_t{bytes[0]} | std::uint32_t{bytes[1]} << 8 |
                               std::uint32_t{bytes[2]} << 16 | std::uint32_t{bytes[3]} << 24;
    return word == kHeaderMolk || word == kHeaderTav;
}

// The load's error when the bytes are neither a Kon text file nor start like
// an archive; none otherwise.
Diagnostic* NeitherForm(const std::string& path, LoadResult& result) {
    for (Diagnostic& d : result.diagnostics.items) {
        if (d.severity != Severity::kError) continue;
        const bool fromContent =
            d.kind == FaultKind::kBadVersion || d.kind == FaultKind::kTruncated;
        if (result.form == KonForm::kArchive && fromContent && !StartsWithHeaderWord(path)) {
            return &d;
        }
    }
    return nullptr;
}

}  // namespace

LoadResult LoadInput(const std::string& path, KonModell& model) {
    return LoadAnyInput(path, FormatRegistry{}, ReadSettings{}, model);
}

LoadResult LoadAnyInput(const std::string& path, const FormatRegistry& registry,
                        const ReadSettings& settings, KonModell& model) {
    LoadResult result = LoadKonFile(path, model);
    if (Diagnostic* d = NeitherForm(path, result)) {
        std::string extension(1, '.');
        extension += PathExtension(path);
        if (const Format* reader = registry.Reader(extension)) {
            model = KonModell{};
            return reader->read(path, settings, model);
        }
        d->explanation = kNotKon;
        d->where = {Location::Unit::kByte, 0};
    }
    return result;
}

ModelSummary Summarize(const KonModell& model) {
    ModelSummary s;
    s.points = model.Punkte.size();
    s.polygons = model.Flaechenliste.size();
    for (const Flaeche& f : model.Flaechenliste) ++s.polygonsByCorners[f.Anzahl];
    s.instances = model.Instanzen.size();
    s.lines = model.Linien.size();
    s.dashedLines = model.StrichLinien.size();
    s.dimensionLines = model.MassLinien.size();
    for (const CObPunkt& p : model.Punkte) s.supplements += p.Zusatz.size();
    if (!model.Punkte.empty()) {
        const CObPunkt& first = model.Punkte.front();
        Bounds b{{first.X, first.Y, first.Z}, {first.X, first.Y, first.Z}};
        for (const CObPunkt& p : model.Punkte) {
            const std::array<std::int32_t, 3> xyz = {p.X, p.Y, p.Z};
            for (std::size_t k = 0; k < 3; ++k) {
                b.min[k] = std::min(b.min[k], xyz[k]);
                b.max[k] = std::max(b.max[k], xyz[k]);
            }
        }
        s.bounds = b;
    }
    return s;
}

}  // namespace kon::cli
