// A text file through the real program into an archive and back: the
// archive holds the points, the polygons by corner count and the instances,
// and plan lines that a plain edge walk in here derives on its own.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <sstream>
#include <tuple>

#include "support/archive_builder.h"
#include "support/konvert_runner.h"
#include "support/linear_kanten_liste.h"
#include "text/kon_text.h"

namespace kon::test {
namespace {

void Add(KonModell& model, std::initializer_list<std::int16_t> corners) {
    model.Flaechenliste.emplace_back();
    for (std::int16_t corner : corners) AppendEcke(model.Flaechenliste.back(), corner);
    model.FlaechenAnzahl = static_cast<std::int32_t>(model.Flaechenliste.size());
}

// The cases a derivation gets wrong most easily, in one model.
KonModell Chosen() {
    KonModell model;
    const std::int32_t xy[][2] = {{0, 0}, {3, 4}, {-7, 9}, {2000000, -2000000}, {5, 5}, {3, 4}};
    for (const auto& p : xy) {
        model.Punkte.emplace_back();
        std::tie(model.Punkte.back().X, model.Punkte.back().Y) = std::tie(p[0], p[1]);
    }
    model.PunktAnzahl = static_cast<std::int32_t>(model.Punkte.size());
    Add(model, {0, 1, 2});                // edge {1, 2} met first as 1 -> 2
    Add(model, {2, 1, 3});                // ... then shared
    Add(model, {1, 2, 1});                // a third use, and the degenerate edge 1 -> 1
    Add(model, {0, 1});                   // dimension line, also an edge above
    Add(model, {4});                      // no line at all
    Add(model, {3, 0});                   // a length beyond 32-bit squares
    Add(model, {5, 4, -32768, 0, 3, 2});  // edges at negative indices are dropped, not bridged
    Add(model, {-1, 4});                  // no dimension line
    Add(model, {0, 2, 4, 5});
    model.Instanzen = {CObFormat{0, -7, 0, 0.0, -12.25, 0.0, 1.0f, 1.0f, 1.0f}};
    model.InstanzAnzahl = 1;
    return model;
}

// Values the text form keeps exactly; polygons over a few points so that
// many edges repeat; some supplement groups, which the archive drops.
KonModell Random(std::mt19937& random) {
    auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto byte = [&] { return static_cast<std::uint8_t>(number(0, 255)); };
    auto sixteenths = [&] { return static_cast<float>(number(-160, 160)) / 16.0f; };
    KonModell model;
    model.Punkte.resize(static_cast<std::size_t>(number(1, 40)));
    model.PunktAnzahl = static_cast<std::int32_t>(model.Punkte.size());
    for (CObPunkt& p : model.Punkte) {
        std::tie(p.X, p.Y, p.Z) = std::tuple{number(-1000000, 1000000), number(-1000000, 1000000),
                                             number(INT32_MIN, INT32_MAX)};
        std::tie(p.R, p.G, p.B, p.TexId) = std::tuple{byte(), byte(), byte(), number(-5, 5)};
        std::tie(p.TexX, p.TexY) = std::tuple{sixteenths(), sixteenths()};
        if (number(0, 4) == 0) {
            p.Zusatz = {PunktZusatz{byte(), byte(), byte(), byte()}};
            p.ZusatzAnzahl = 1;
            p.Marke = kZusatzMarke;
        }
    }
    const int used = std::min(model.PunktAnzahl, number(2, 8));
    for (int n = number(0, 40); n > 0; --n) {
        model.Flaechenliste.emplace_back();
        for (int k = number(1, 7); k > 0; --k) {
            const int index = number(0, 30) == 0 ? -1 : number(0, used - 1);
            AppendEcke(model.Flaechenliste.back(), static_cast<std::int16_t>(index));
        }
    }
    model.FlaechenAnzahl = static_cast<std::int32_t>(model.Flaechenliste.size());
    model.Instanzen.resize(static_cast<std::size_t>(number(0, 4)));
    model.InstanzAnzahl = static_cast<std::int32_t>(model.Instanzen.size());
    for (CObFormat& i : model.Instanzen) {
        i = {number(INT32_MIN, INT32_MAX),
             number(-9, 9),
             0,
             number(-1440, 1440) / 4.0,
             0.5,
             number(-4, 4) / 4.0,
             sixteenths(),
             sixteenths(),
             1.0f};
    }
    return model;
}

Linie Line(const KonModell& model, std::int16_t from, std::int16_t to) {
    const CObPunkt& p = model.Punkte[static_cast<std::size_t>(from)];
    const CObPunkt& q = model.Punkte[static_cast<std::size_t>(to)];
    const auto dx = static_cast<double>(std::int64_t{p.X} - q.X);
    const auto dy = static_cast<double>(std::int64_t{p.Y} - q.Y);
    return Linie{p.X, p.Y, q.X, q.Y, std::sqrt(dx * dx + dy * dy)};
}

// Dimension lines in polygon order, then every edge through the linear
// tally: met once a line, more often a dashed line, as first met.
KonModell WithLines(KonModell model) {
    for (const Flaeche& f : model.Flaechenliste) {
        const bool valid = f.Ecken[0] >= 0 && f.Ecken[1] >= 0;  // indices never exceed the points
        if (f.Anzahl == 2 && valid) model.MassLinien.push_back(Line(model, f.Ecken[0], f.Ecken[1]));
    }
    LinearKantenListe tally;
    for (const auto& [a, b] : PolygonEdges(model)) tally.Count(a, b);
    for (const Kante& k : tally.Kanten()) {
        (k.Zaehler == 1 ? model.Linien : model.StrichLinien).push_back(Line(model, k.Von, k.Bis));
    }
    model.MassLinienAnzahl = static_cast<std::int32_t>(model.MassLinien.size());
    model.LinienAnzahl = static_cast<std::int32_t>(model.Linien.size());
    model.StrichLinienAnzahl = static_cast<std::int32_t>(model.StrichLinien.size());
    return model;
}

std::string Text(const KonModell& model, char separator) {
    std::ostringstream out(std::ios::binary);
    WriteKonText(model, out, separator);
    return out.str();
}

TEST(RoundTripE2eTest, TextToArchiveAndBackKeepsTheModelAndDerivesItsLines) {
    std::vector<KonModell> models = {Chosen()};
    std::mt19937 random(20250);
    for (int n = 0; n < 15; ++n) models.push_back(Random(random));

    for (std::size_t n = 0; n < models.size(); ++n) {
        SCOPED_TRACE("model " + std::to_string(n));
        const KonModell archived = AsArchived(WithLines(models[n]));
        Sandbox sandbox;
        sandbox.Write("m.csv", Text(models[n], n % 2 == 0 ? ';' : '\t'));

        const RunResult toArchive = sandbox.Run({"m.csv"}, "\n");
        ASSERT_EQ(toArchive.exitCode, 0) << toArchive.out << toArchive.err;
        const std::string archive = sandbox.Read("m.kon");
        const ReadOutcome read = ReadArchiveBytes(archive);
        EXPECT_EQ(read.out, "");
        EXPECT_EQ(Records(read.model), Records(archived));

        sandbox.Write("r.kon", archive);
        const RunResult toText = sandbox.Run({"r.kon"}, "\n");
        ASSERT_EQ(toText.exitCode, 0) << toText.out << toText.err;
        EXPECT_EQ(sandbox.Read("r.csv"), Text(archived, ';'));
    }
}

}  // namespace
}  // namespace kon::test
