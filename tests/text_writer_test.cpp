#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "support/haus_model.h"
#include "text/kon_text.h"
#include "text/write_real.h"

namespace kon {
namespace {

std::string Written(const KonModell& model, char separator = ';') {
    std::ostringstream out;
    WriteKonText(model, out, separator);
    return out.str();
}

TEST(TextWriterTest, WritesTheExampleAndTheEmptyModelByteForByte) {
    KonModell haus = test::HausModell();
    haus.Punkte.resize(9);  // spare room is not written
    EXPECT_EQ(Written(haus), test::ExampleFile("haus.csv"));
    KonModell empty;
    empty.Variante = kVarianteTav;
    EXPECT_EQ(Written(empty, '\t'),
              "KON\tTAV\r\nX\tY\tZ\tR\tG\tB\tTexId\tTexX\tTexY\r\nFlaechen\r\n"
              "ScalX\tScalY\tScalZ\tRotX\tRotY\tRotZ\tMoveX\tMoveY\tMoveZ\r\n");
}

TEST(TextWriterTest, PolygonRowsFollowTheCornerRule) {
    KonModell model;
    model.Flaechenliste.resize(3);
    for (std::int16_t i = 0; i < 6; ++i) AppendEcke(model.Flaechenliste[0], i == 5 ? -1 : i);
    model.Flaechenliste[2].Anzahl = 9;  // claims more corners than it holds
    model.FlaechenAnzahl = 3;
    model.Punkte.resize(1);
    model.Punkte[0].Marke = kZusatzMarke;  // a mark without entries writes nine fields
    model.PunktAnzahl = 1;
    EXPECT_NE(Written(model).find("\r\n0;0;0;0;0;0;0;0,0000;0,0000\r\nFlaechen\r\n"
                                  "0;1;2;3;4;-1\r\n\r\n0;0;0;0\r\nScalX"),
              std::string::npos);
}

TEST(TextWriterTest, RealsRoundAsPrintfAndCarryADecimalComma) {
    std::ostringstream out;
    {
        TextChunk chunk(out);
        for (const float value : {1.5f, -0.0f, 1e30f}) WriteReal4(chunk, value), chunk.Append(' ');
        for (const double value : {-0.5, 0.125, 0.375, -HUGE_VAL})
            WriteReal2(chunk, value), chunk.Append(' ');
    }
    EXPECT_EQ(out.str(),
              "1,5000 -0,0000 1000000015047466219876688855040,0000 -0,50 0,12 0,38 -inf ");
}

}  // namespace
}  // namespace kon
