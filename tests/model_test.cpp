#include "model/kon_modell.h"

#include <gtest/gtest.h>

namespace kon {
namespace {

TEST(ModelTest, NewRecordsHaveTheirDefaults) {
    const KonModell model;
    EXPECT_EQ(model.Variante, kVarianteMolk);
    EXPECT_EQ(model.Geladen, 0);
    EXPECT_EQ(model.PunktAnzahl + model.FlaechenAnzahl + model.InstanzAnzahl, 0);
    EXPECT_TRUE(model.Punkte.empty() && model.Flaechenliste.empty() && model.Instanzen.empty());

    const CObFormat instance;
    EXPECT_EQ(instance.ScalX, 1.0f);
    EXPECT_EQ(instance.ScalY, 1.0f);
    EXPECT_EQ(instance.ScalZ, 1.0f);
    EXPECT_EQ(instance.RotX + instance.RotY + instance.RotZ, 0.0);
    EXPECT_EQ(instance.MoveX | instance.MoveY | instance.MoveZ, 0);

    const CObPunkt point;
    EXPECT_EQ(point.X | point.Y | point.Z | point.ZusatzAnzahl, 0);
    EXPECT_EQ(point.R | point.G | point.B | point.Marke, 0);
    EXPECT_TRUE(point.Zusatz.empty());
}

TEST(ModelTest, CornerRulePlacesFifthCornerOnInWeitereEcken) {
    Flaeche f;
    for (std::int16_t i = 0; i < 7; ++i) AppendEcke(f, static_cast<std::int16_t>(100 + i));
    ASSERT_EQ(f.Anzahl, 7);
    EXPECT_EQ(f.Ecken[0], 100);
    EXPECT_EQ(f.Ecken[3], 103);
    ASSERT_EQ(f.WeitereEcken.size(), 3u);
    EXPECT_EQ(f.WeitereEcken[0], 104);
    for (std::size_t j = 0; j < 7; ++j) EXPECT_EQ(Ecke(f, j), 100 + static_cast<int>(j));
    Ecke(f, 5) = -1;
    EXPECT_EQ(f.WeitereEcken[1], -1);
}

TEST(ModelTest, AppendKeepsSpareRoomOfWeitereEcken) {
    Flaeche f;
    f.WeitereEcken.resize(4);  // spare room left by a reader
    for (std::int16_t i = 0; i < 6; ++i) AppendEcke(f, i);
    EXPECT_EQ(f.WeitereEcken.size(), 4u);
    EXPECT_EQ(Ecke(f, 5), 5);
}

KonModell PartlyFilledModel() {
    KonModell model;
    model.Variante = kVarianteTav;
    model.PunktAnzahl = 2;
    model.Punkte.resize(5);
    model.Punkte[0].Zusatz.resize(3);
    model.FlaechenAnzahl = 9;  // count read, array never created
    model.InstanzAnzahl = 1;
    model.Instanzen.resize(1);
    model.Linien.resize(2);
    model.LinienAnzahl = 2;
    model.Geladen = 1;
    return model;
}

TEST(ModelTest, ClearGeometryLeavesVariantLinesAndGeladen) {
    KonModell model = PartlyFilledModel();
    ClearGeometry(model);
    EXPECT_TRUE(model.Punkte.empty() && model.Flaechenliste.empty() && model.Instanzen.empty());
    EXPECT_EQ(model.PunktAnzahl + model.FlaechenAnzahl + model.InstanzAnzahl, 0);
    EXPECT_EQ(model.Variante, kVarianteTav);
    EXPECT_EQ(model.Linien.size(), 2u);
    EXPECT_EQ(model.Geladen, 1);
}

TEST(ModelTest, ReleaseEmptiesEveryArrayOfAPartlyFilledModel) {
    KonModell model = PartlyFilledModel();
    ReleaseModel(model);
    EXPECT_TRUE(model.Punkte.empty() && model.Instanzen.empty() && model.Linien.empty());
    EXPECT_EQ(model.Punkte.capacity(), 0u);
    EXPECT_EQ(model.LinienAnzahl, 2);  // line counts stay as they are
    ReleaseModel(model);               // releasing twice is harmless
    KonModell never;
    ReleaseModel(never);
    EXPECT_TRUE(never.Punkte.empty());
}

}  // namespace
}  // namespace kon
