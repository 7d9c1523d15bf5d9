#pragma once
// The plain edge tally the hashed one is measured against: each edge scans
// every entry met so far.

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "model/kanten_liste.h"
#include "model/kon_modell.h"

namespace kon::bench {

class LinearKantenListe {
  public:
    void Count(std::int16_t a, std::int16_t b) {
        for (Kante& k : kanten_) {
            if ((k.Von == a && k.Bis == b) || (k.Von == b && k.Bis == a)) {
                ++k.Zaehler;
                return;
            }
        }
        kanten_.push_back(Kante{a, b, 1});
    }
    const std::vector<Kante>& Kanten() const { return kanten_; }

  private:
    std::vector<Kante> kanten_;
};

using Edge = std::pair<std::int16_t, std::int16_t>;

// Every edge of every polygon of more than two corners, in walking order,
// without those that touch an index outside the points in use.
inline std::vector<Edge> PolygonEdges(const KonModell& model) {
    const auto valid = [&model](std::int16_t i) {
        return i >= 0 && static_cast<std::size_t>(i) < model.Punkte.size();
    };
    std::vector<Edge> edges;
    for (const Flaeche& f : model.Flaechenliste) {
        const auto n = static_cast<std::size_t>(f.Anzahl > 2 ? f.Anzahl : 0);
        for (std::size_t j = 0; j < n; ++j) {
            const std::int16_t a = Ecke(f, j);
            const std::int16_t b = Ecke(f, (j + 1) % n);
            if (valid(a) && valid(b)) edges.emplace_back(a, b);
        }
    }
    return edges;
}

}  // namespace kon::bench
