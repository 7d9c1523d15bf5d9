#include "model/derive_lines.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "model/kanten_liste.h"

namespace kon {
namespace {

using Indices = std::vector<std::int16_t>;

// Points i at (10 i, i * i): every pair has its own, non-zero length.
KonModell ModelOf(std::int32_t punktAnzahl, const std::vector<Indices>& polygons) {
    KonModell model;
    model.Punkte.resize(static_cast<std::size_t>(punktAnzahl));
    for (std::size_t i = 0; i < model.Punkte.size(); ++i) {
        model.Punkte[i].X = static_cast<std::int32_t>(10 * i);
        model.Punkte[i].Y = static_cast<std::int32_t>(i * i);
    }
    for (const Indices& corners : polygons) {
        Flaeche f;
        for (std::int16_t c : corners) AppendEcke(f, c);
        model.Flaechenliste.push_back(f);
    }
    return model;
}

// Lines as "a>b" by their end points' indices (point i lies at (10 i, i * i)),
// so a failure reads like the table; "?" marks an end that is no point.
std::string Describe(const std::vector<Linie>& linien) {
    const auto name = [](std::int32_t x, std::int32_t y) {
        const std::int32_t i = x / 10;
        return x == 10 * i && y == i * i ? std::to_string(i) : std::string("?");
    };
    std::string out;
    for (const Linie& l : linien) out += name(l.X1, l.Y1) + ">" + name(l.X2, l.Y2) + " ";
    return out;
}

// Expected lines as "dimension lines | lines | dashed lines".
TEST(DeriveLinesTest, GivesLinesInFirstSeenOrderAndOrientation) {
    const struct {
        std::int32_t punktAnzahl;
        std::vector<Indices> polygons;
        const char* lines;
    } cases[] = {
        {3, {}, "| | "},
        {4, {{0, 1, 2}, {2, 1, 3}}, "| 0>1 2>0 1>3 3>2 | 1>2 "},  // shared edge as first met
        {5, {{0, 1, 2}, {2, 1, 3}, {4, 2, 1}}, "| 0>1 2>0 1>3 3>2 4>2 1>4 | 1>2 "},
        {3, {{1, 2, 1}}, "| 1>1 | 1>2 "},  // the degenerate edge
        {3, {{1, 0}, {2}, {0, 1, 2}}, "1>0 | 0>1 1>2 2>0 | "},
        {6, {{0, 1, 2, 3, 4, 5}}, "| 0>1 1>2 2>3 3>4 4>5 5>0 | "},
        // Invalid indices give no line and no bridge; 3 is one past the last point.
        {3, {{0, 3}, {-1, 2}, {0, 1}, {0, 1, -1, 2}, {2, 1, 3}}, "0>1 | 0>1 2>0 2>1 | "},
    };
    for (const auto& c : cases) {
        KonModell model = ModelOf(c.punktAnzahl, c.polygons);
        model.Linien.resize(7);  // stale lines from before must all go
        model.StrichLinien.resize(7);
        model.MassLinien.resize(7);
        DeriveLines(model);
        EXPECT_EQ(Describe(model.MassLinien) + "| " + Describe(model.Linien) + "| " +
                      Describe(model.StrichLinien),
                  c.lines);
    }
}

// Few points and many polygons, so most edges repeat in both orientations.
TEST(KantenListeTest, HashedTallyAgreesWithAMap) {
    std::mt19937 rng(20240605);
    for (const int punkte : {1, 4, 12, 40, 3000}) {
        std::uniform_int_distribution<std::int16_t> index(0, static_cast<std::int16_t>(punkte - 1));
        std::vector<std::pair<std::int16_t, std::int16_t>> edges(4000);
        for (auto& e : edges) e = {index(rng), index(rng)};
        // Edges in first-seen orientation and order, with their counts.
        std::vector<std::tuple<int, int, int>> expected;
        std::map<std::pair<int, int>, std::size_t> seen;
        for (const auto& [a, b] : edges) {
            const auto [at, fresh] = seen.try_emplace(std::minmax<int>(a, b), expected.size());
            if (fresh) expected.emplace_back(a, b, 0);
            ++std::get<2>(expected[at->second]);
        }
        // A hint of 0 forces the table through many regrowths.
        for (const std::size_t hint : {std::size_t{0}, edges.size()}) {
            KantenListe hashed(hint);
            for (const auto& [a, b] : edges) hashed.Count(a, b);
            std::vector<std::tuple<int, int, int>> got;
            for (const Kante& k : hashed.TakeKanten()) got.emplace_back(k.Von, k.Bis, k.Zaehler);
            EXPECT_EQ(got, expected) << punkte << " points, hint " << hint;
        }
    }
}

}  // namespace
}  // namespace kon
