#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>
#include <tuple>

#include "support/captured_console.h"
#include "text/kon_text.h"

namespace kon {
namespace {

KonModell RandomModel(std::mt19937& random) {
    auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto real = [&](double bound) {
        return std::uniform_real_distribution<double>(-bound, bound)(random);
    };
    KonModell model;
    model.PunktAnzahl = number(1, 40);
    model.Punkte.resize(static_cast<std::size_t>(model.PunktAnzahl));
    for (CObPunkt& p : model.Punkte) {
        p.X = number(INT32_MIN, INT32_MAX);
        p.Y = number(-100000, 100000);
        p.Z = number(-5, 5);
        p.R = static_cast<std::uint8_t>(number(0, 255));
        p.B = static_cast<std::uint8_t>(number(0, 255));
        p.TexId = number(-3, 1000);
        p.TexX = static_cast<float>(real(1.0));
        p.TexY = static_cast<float>(real(5000.0));
        p.ZusatzAnzahl = number(0, 3);
        for (int i = 0; i < p.ZusatzAnzahl; ++i) {
            p.Zusatz.push_back({static_cast<std::uint8_t>(number(0, 255)), 0, 9,
                                static_cast<std::uint8_t>(number(0, 255))});
        }
        if (p.ZusatzAnzahl != 0) p.Marke = kZusatzMarke;
    }
    model.FlaechenAnzahl = number(0, 30);
    model.Flaechenliste.resize(static_cast<std::size_t>(model.FlaechenAnzahl));
    for (Flaeche& f : model.Flaechenliste) {
        for (int k = number(1, 12); k > 0; --k) {
            AppendEcke(f, static_cast<std::int16_t>(number(-32768, model.PunktAnzahl - 1)));
        }
    }
    model.InstanzAnzahl = number(0, 5);
    model.Instanzen.resize(static_cast<std::size_t>(model.InstanzAnzahl));
    for (CObFormat& i : model.Instanzen) {
        i = {number(-9, 9),
             number(INT32_MIN, INT32_MAX),
             0,
             real(360),
             real(1e6),
             0.125,
             static_cast<float>(real(100)),
             1.0f,
             static_cast<float>(real(1e-3))};
    }
    return model;
}

// Integers come back exactly; reals to the half unit of their last printed
// decimal (plus a float's rounding).
TEST(TextRoundTripTest, RandomModelsComeBackAsWritten) {
    std::mt19937 random(4711);
    for (int round = 0; round < 200; ++round) {
        const KonModell original = RandomModel(random);
        std::ostringstream written;
        WriteKonText(original, written, round % 2 == 0 ? ';' : '\t');
        std::istringstream in(written.str(), std::ios::binary);
        test::CapturedConsole console;
        KonModell read;
        ASSERT_EQ(ReadKonText(read, in, console.console, "r.csv"), 1) << console.out.str();
        ASSERT_EQ(read.PunktAnzahl, original.PunktAnzahl);
        for (std::size_t n = 0; n < original.Punkte.size(); ++n) {
            const CObPunkt& a = original.Punkte[n];
            const CObPunkt& b = read.Punkte[n];
            EXPECT_EQ(std::tie(a.X, a.Y, a.Z, a.R, a.G, a.B, a.TexId, a.Marke, a.ZusatzAnzahl),
                      std::tie(b.X, b.Y, b.Z, b.R, b.G, b.B, b.TexId, b.Marke, b.ZusatzAnzahl));
            EXPECT_NEAR(b.TexX, a.TexX, 0.6e-4);
            EXPECT_NEAR(b.TexY, a.TexY, 0.6e-4 + 0.5e-3);
            for (int z = 0; z < a.ZusatzAnzahl; ++z) {
                const auto& [w1, w2, w3, k] = a.Zusatz[static_cast<std::size_t>(z)];
                const auto& [v1, v2, v3, l] = b.Zusatz[static_cast<std::size_t>(z)];
                EXPECT_EQ(std::tie(w1, w2, w3, k), std::tie(v1, v2, v3, l));
            }
        }
        ASSERT_EQ(read.FlaechenAnzahl, original.FlaechenAnzahl);
        for (std::size_t n = 0; n < original.Flaechenliste.size(); ++n) {
            const Flaeche& a = original.Flaechenliste[n];
            const Flaeche& b = read.Flaechenliste[n];
            ASSERT_EQ(b.Anzahl, a.Anzahl);
            for (std::size_t j = 0; j < static_cast<std::size_t>(a.Anzahl); ++j) {
                EXPECT_EQ(Ecke(b, j), Ecke(a, j));
            }
        }
        ASSERT_EQ(read.InstanzAnzahl, original.InstanzAnzahl);
        for (std::size_t n = 0; n < original.Instanzen.size(); ++n) {
            const CObFormat& a = original.Instanzen[n];
            const CObFormat& b = read.Instanzen[n];
            EXPECT_EQ(std::tie(a.MoveX, a.MoveY, a.MoveZ), std::tie(b.MoveX, b.MoveY, b.MoveZ));
            EXPECT_NEAR(b.RotX, a.RotX, 0.005 + 1e-9);
            EXPECT_NEAR(b.RotY, a.RotY, 0.005 + 1e-9);
            EXPECT_EQ(b.RotZ, 0.12);  // the tie 0.125 was printed as 0,12
            EXPECT_NEAR(b.ScalX, a.ScalX, 0.6e-4);
            EXPECT_EQ(b.ScalY, 1.0f);
            EXPECT_NEAR(b.ScalZ, a.ScalZ, 0.6e-4);
        }
    }
}

}  // namespace
}  // namespace kon
