#include "model/kon_modell.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kon {
namespace {

TEST(ModelTest, InstancesStartAtUnitScale) {
    const CObFormat f;
    EXPECT_EQ(f.ScalX, 1.0f);
    EXPECT_EQ(f.ScalY, 1.0f);
    EXPECT_EQ(f.ScalZ, 1.0f);
}

TEST(ModelTest, CornerRuleKeepsFourInlineAndTheRestInWeitereEcken) {
    for (const std::size_t spare : {0u, 5u}) {  // room a reader may have left
        Flaeche f;
        f.WeitereEcken.resize(spare);
        for (std::int16_t i = 0; i < 7; ++i) AppendEcke(f, static_cast<std::int16_t>(100 + i));
        ASSERT_EQ(f.Anzahl, 7);
        EXPECT_EQ(f.Ecken[3], 103);
        EXPECT_EQ(f.WeitereEcken.size(), std::max<std::size_t>(spare, 3));
        EXPECT_EQ(f.WeitereEcken[0], 104);
        for (std::size_t j = 0; j < 7; ++j) EXPECT_EQ(Ecke(f, j), 100 + static_cast<int>(j));
        Ecke(f, 5) = -1;
        EXPECT_EQ(f.WeitereEcken[1], -1);
    }
}

// A reader may stop anywhere: counts read, arrays sized or never created.
TEST(ModelTest, ClearAndReleaseWorkOnAPartlyFilledModel) {
    KonModell model;
    model.Variante = kVarianteTav;
    model.PunktAnzahl = 2;
    model.Punkte.resize(5);
    model.Punkte[0].Zusatz.resize(3);
    model.FlaechenAnzahl = 9;
    model.Linien.resize(2);
    model.LinienAnzahl = 2;
    model.Geladen = 1;
    ClearGeometry(model);
    EXPECT_TRUE(model.Punkte.empty() && model.Flaechenliste.empty());
    EXPECT_EQ(model.PunktAnzahl + model.FlaechenAnzahl, 0);
    EXPECT_EQ(model.Variante + model.Geladen, 2);
    EXPECT_EQ(model.Linien.size(), 2u);
    ReleaseModel(model);
    EXPECT_EQ(model.Linien.capacity(), 0u);
    ReleaseModel(model);  // twice, and on a model never filled, is harmless
    KonModell never;
    ReleaseModel(never);
}

}  // namespace
}  // namespace kon
