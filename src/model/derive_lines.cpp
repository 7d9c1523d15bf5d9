#include "model/derive_lines.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/kanten_liste.h"

namespace kon {

namespace {

// The points a polygon may name: those in use that the array really holds.
class PunktBereich {
  public:
    explicit PunktBereich(const KonModell& model)
        : punkte_(model.Punkte), anzahl_(model.Punkte.size()) {}

    bool Gueltig(std::int16_t index) const {
        return index >= 0 && static_cast<std::size_t>(index) < anzahl_;
    }
    const CObPunkt& operator[](std::int16_t index) const {
        return punkte_[static_cast<std::size_t>(index)];
    }

  private:
    const std::vector<CObPunkt>& punkte_;
    std::size_t anzahl_;
};

// 64-bit differences: no coordinate pair can overflow, and wherever the
// squared sum fits 32 bits the double result is exact anyway.
Linie MakeLinie(const CObPunkt& p, const CObPunkt& q) {
    const std::int64_t dx = std::int64_t{p.X} - q.X;
    const std::int64_t dy = std::int64_t{p.Y} - q.Y;
    const double fx = static_cast<double>(dx);
    const double fy = static_cast<double>(dy);
    return Linie{p.X, p.Y, q.X, q.Y, std::sqrt(fx * fx + fy * fy)};
}

// Corners a polygon really stores; equals Anzahl whenever the model keeps
// its own invariant, and never lets a broken one read past WeitereEcken.
std::size_t StoredCorners(const Flaeche& f) {
    const auto anzahl = static_cast<std::size_t>(std::max(f.Anzahl, 0));
    return std::min(anzahl, 4 + f.WeitereEcken.size());
}

bool IsMassLinie(const Flaeche& f, const PunktBereich& punkte) {
    return f.Anzahl == 2 && punkte.Gueltig(f.Ecken[0]) && punkte.Gueltig(f.Ecken[1]);
}

void DeriveMassLinien(KonModell& model, const PunktBereich& punkte, std::size_t flaechen) {
    const auto begin = model.Flaechenliste.begin();
    const auto end = begin + static_cast<std::ptrdiff_t>(flaechen);
    const auto count = static_cast<std::size_t>(
        std::count_if(begin, end, [&punkte](const Flaeche& f) { return IsMassLinie(f, punkte); }));
    std::vector<Linie> linien;
    linien.reserve(count);
    for (auto it = begin; it != end; ++it) {
        if (IsMassLinie(*it, punkte))
            linien.push_back(MakeLinie(punkte[it->Ecken[0]], punkte[it->Ecken[1]]));
    }
    model.MassLinien = std::move(linien);
    // No more records than polygons in use, so the size fits its 32-bit count.
}

std::size_t CountEdges(const KonModell& model, std::size_t flaechen) {
    std::size_t edges = 0;
    for (std::size_t i = 0; i < flaechen; ++i) {
        const std::size_t n = StoredCorners(model.Flaechenliste[i]);
        if (n > 2) edges += n;
    }
    return edges;
}

// Edge (j, j + 1 mod n) of every polygon of more than two corners; an edge
// with an end outside the points is dropped, never bridged.
std::vector<Kante> TallyEdges(const KonModell& model, const PunktBereich& punkte,
                              std::size_t flaechen) {
    KantenListe tally(CountEdges(model, flaechen));
    for (std::size_t i = 0; i < flaechen; ++i) {
        const Flaeche& f = model.Flaechenliste[i];
        const std::size_t n = StoredCorners(f);
        if (n <= 2) continue;
        const std::int16_t first = f.Ecken[0];
        std::int16_t from = first;
        bool fromValid = punkte.Gueltig(from);
        for (std::size_t j = 1; j <= n; ++j) {
            const std::int16_t to = j < n ? Ecke(f, j) : first;
            const bool toValid = punkte.Gueltig(to);
            if (fromValid && toValid) tally.Count(from, to);
            from = to;
            fromValid = toValid;
        }
    }
    return tally.TakeKanten();
}

// An edge met once is a plan line, one met more often a dashed line; both
// keep the tally's order, so each array follows the first appearances.
void FillLinien(KonModell& model, const std::vector<Kante>& kanten, const PunktBereich& punkte) {
    const auto einmal = static_cast<std::size_t>(
        std::count_if(kanten.begin(), kanten.end(), [](const Kante& k) { return k.Zaehler == 1; }));
    std::vector<Linie> linien;
    linien.reserve(einmal);
    std::vector<Linie> strichLinien;
    strichLinien.reserve(kanten.size() - einmal);
    for (const Kante& k : kanten) {
        (k.Zaehler == 1 ? linien : strichLinien).push_back(MakeLinie(punkte[k.Von], punkte[k.Bis]));
    }
    // Every tallied pair holds two valid 16-bit indices, so there are fewer
    // than 2^31 entries and each size fits its 32-bit count. The archive
    // writer, not this function, refuses more than its 16-bit words hold.
    model.Linien = std::move(linien);
    model.StrichLinien = std::move(strichLinien);
}

}  // namespace

void DeriveLines(KonModell& model) {
    // The old lines go first, so they never share the peak with the new ones.
    std::vector<Linie>().swap(model.MassLinien);
    std::vector<Linie>().swap(model.Linien);
    std::vector<Linie>().swap(model.StrichLinien);

    const PunktBereich punkte(model);
    const std::size_t flaechen = model.Flaechenliste.size();

    DeriveMassLinien(model, punkte, flaechen);

    FillLinien(model, TallyEdges(model, punkte, flaechen), punkte);
}

}  // namespace kon
