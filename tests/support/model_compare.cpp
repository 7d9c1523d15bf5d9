#include "support/model_compare.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <utility>
#include <vector>

namespace kon::test {

namespace {

// A record as named 64-bit values; a list's length is a value of its own.
using Fields = std::vector<std::pair<std::string, std::uint64_t>>;

template <typename T>
std::uint64_t Bits(T value) {
    if constexpr (sizeof(T) == 8) return std::bit_cast<std::uint64_t>(value);
    if constexpr (sizeof(T) == 4) return std::bit_cast<std::uint32_t>(value);
    if constexpr (sizeof(T) == 2) return std::bit_cast<std::uint16_t>(value);
    if constexpr (sizeof(T) == 1) return std::bit_cast<std::uint8_t>(value);
}

Fields Of(const CObPunkt& p, bool zusatz) {
    Fields f{{"X", Bits(p.X)},       {"Y", Bits(p.Y)},       {"Z", Bits(p.Z)},
             {"Res0", Bits(p.Res0)}, {"Res1", Bits(p.Res1)}, {"Res2", Bits(p.Res2)},
             {"Res3", Bits(p.Res3)}, {"Res4", Bits(p.Res4)}, {"R", Bits(p.R)},
             {"G", Bits(p.G)},       {"B", Bits(p.B)},       {"Marke", Bits(p.Marke)},
             {"TexX", Bits(p.TexX)}, {"TexY", Bits(p.TexY)}, {"TexId", Bits(p.TexId)}};
    if (!zusatz) return f;
    const auto n = static_cast<std::size_t>(std::max(p.ZusatzAnzahl, 0));
    f.emplace_back("ZusatzAnzahl", Bits(p.ZusatzAnzahl));
    for (std::size_t i = 0; i < n && i < p.Zusatz.size(); ++i) {
        const PunktZusatz& z = p.Zusatz[i];
        const std::string at = "Zusatz " + std::to_string(i) + " ";
        f.insert(f.end(), {{at + "Kennung", z.Kennung},
                           {at + "Wert1", z.Wert1},
                           {at + "Wert2", z.Wert2},
                           {at + "Wert3", z.Wert3}});
    }
    return f;
}

Fields Of(const Flaeche& polygon) {
    Fields f{{"Anzahl", Bits(polygon.Anzahl)}};
    for (std::size_t j = 0; j < static_cast<std::size_t>(std::max(polygon.Anzahl, 0)); ++j)
        f.emplace_back("corner " + std::to_string(j), Bits(Ecke(polygon, j)));
    return f;
}

Fields Of(const CObFormat& i) {
    return {{"MoveX", Bits(i.MoveX)}, {"MoveY", Bits(i.MoveY)}, {"MoveZ", Bits(i.MoveZ)},
            {"RotX", Bits(i.RotX)},   {"RotY", Bits(i.RotY)},   {"RotZ", Bits(i.RotZ)},
            {"ScalX", Bits(i.ScalX)}, {"ScalY", Bits(i.ScalY)}, {"ScalZ", Bits(i.ScalZ)}};
}

Fields Of(const Linie& l) {
    return {{"X1", Bits(l.X1)},
            {"Y1", Bits(l.Y1)},
            {"X2", Bits(l.X2)},
            {"Y2", Bits(l.Y2)},
            {"Laenge", Bits(l.Laenge)}};
}

template <typename T, typename Describer>
std::vector<Fields> Describe(const std::vector<T>& records, Describer describe) {
    std::vector<Fields> described;
    for (const T& record : records) described.push_back(describe(record));
    return described;
}

std::string Compare(const std::string& what, const std::vector<Fields>& a,
                    const std::vector<Fields>& b) {
    for (std::size_t i = 0; i < a.size() && i < b.size(); ++i) {
        for (std::size_t k = 0; k < a[i].size() || k < b[i].size(); ++k) {
            if (k >= a[i].size() || k >= b[i].size())
                return what + " " + std::to_string(i) + " length";
            if (a[i][k] != b[i][k]) {
                return what + " " + std::to_string(i) + " " + a[i][k].first + ": " +
                       std::to_string(a[i][k].second) + " vs " + std::to_string(b[i][k].second);
            }
        }
    }
    if (a.size() != b.size()) {
        return what + " count: " + std::to_string(a.size()) + " vs " + std::to_string(b.size());
    }
    return "";
}

std::vector<Fields> Polygons(const KonModell& m, Kept kept) {
    std::vector<Flaeche> polygons = m.Flaechenliste;
    if (kept == Kept::kArchive) {
        std::erase_if(polygons, [](const Flaeche& f) { return f.Anzahl <= 0; });
        std::stable_sort(polygons.begin(), polygons.end(), [](const Flaeche& a, const Flaeche& b) {
            return std::min(a.Anzahl, 5) < std::min(b.Anzahl, 5);
        });
    }
    return Describe(polygons, [](const Flaeche& f) { return Of(f); });
}

}  // namespace

std::string ModelDifference(const KonModell& a, const KonModell& b, Kept kept) {
    if (a.Variante != b.Variante) return "Variante";
    const bool zusatz = kept == Kept::kAll || a.Variante == kVarianteTav;
    const auto point = [&](const CObPunkt& p) { return Of(p, zusatz); };
    const auto record = [](const auto& r) { return Of(r); };
    for (std::string difference :
         {Compare("point", Describe(a.Punkte, point), Describe(b.Punkte, point)),
          Compare("polygon", Polygons(a, kept), Polygons(b, kept)),
          Compare("instance", Describe(a.Instanzen, record), Describe(b.Instanzen, record)),
          Compare("dashed line", Describe(a.StrichLinien, record),
                  Describe(b.StrichLinien, record)),
          Compare("line", Describe(a.Linien, record), Describe(b.Linien, record)),
          Compare("dimension line", Describe(a.MassLinien, record),
                  Describe(b.MassLinien, record))}) {
        if (!difference.empty()) return difference;
    }
    return "";
}

}  // namespace kon::test
