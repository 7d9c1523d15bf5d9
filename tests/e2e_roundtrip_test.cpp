// A text file through the real program into an archive and back: the
// archive holds the points, the polygons by corner count and the instances,
// and plan lines that a plain edge walk in here derives on its own.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "support/archive_builder.h"
#include "support/konvert_runner.h"
#include "support/linear_kanten_liste.h"
#include "support/random_model.h"
#include "text/kon_text.h"

namespace kon::test {
namespace {

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
    return model;
}

std::string Text(const KonModell& model, char separator) {
    std::ostringstream out(std::ios::binary);
    WriteKonText(model, out, separator);
    return out.str();
}

TEST(RoundTripE2eTest, TextToArchiveAndBackKeepsTheModelAndDerivesItsLines) {
    std::mt19937 random(20250);
    for (int n = 0; n < 16; ++n) {
        SCOPED_TRACE("model " + std::to_string(n));
        const KonModell model = RandomModel(random, Form::kText);
        const KonModell archived = AsArchived(WithLines(model));
        Sandbox sandbox;
        sandbox.Write("m.csv", Text(model, n % 2 == 0 ? ';' : '\t'));

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
