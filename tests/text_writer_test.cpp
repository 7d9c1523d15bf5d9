#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>

#include "text/kon_text.h"
#include "text/write_real.h"

namespace kon {
namespace {

std::string Written(const KonModell& model, char separator = ';') {
    std::ostringstream out;
    WriteKonText(model, out, separator);
    return out.str();
}

CObPunkt Point(std::int32_t x, std::int32_t y, std::int32_t z, std::uint8_t grey) {
    CObPunkt point;
    point.X = x;
    point.Y = y;
    point.Z = z;
    point.R = point.G = point.B = grey;
    return point;
}

TEST(TextWriterTest, WritesTheExampleModelByteForByte) {
    KonModell model;
    model.Punkte = {Point(0, 0, 0, 255), Point(1000, 0, -250, 0), Point(0, 1000, 0, 0)};
    model.Punkte[1].R = 255;
    model.Punkte[1].TexId = 3;
    model.Punkte[1].TexX = 1.5f;
    model.Punkte[1].TexY = 0.25f;
    model.Punkte[1].Zusatz = {{10, 20, 30, 2}};
    model.Punkte[1].ZusatzAnzahl = 1;
    model.Punkte[2].TexY = 1.0f;
    model.Punkte.resize(6);  // spare room is not written
    model.PunktAnzahl = 3;
    model.Flaechenliste.resize(1);
    for (std::int16_t i = 0; i < 3; ++i) AppendEcke(model.Flaechenliste[0], i);
    model.FlaechenAnzahl = 1;
    model.Instanzen.resize(1);
    model.Instanzen[0].RotZ = 90;
    model.Instanzen[0].MoveX = 500;
    model.Instanzen[0].MoveZ = -20;
    model.InstanzAnzahl = 1;
    EXPECT_EQ(Written(model),
              "KON;MOLK\r\nX;Y;Z;R;G;B;TexId;TexX;TexY\r\n"
              "0;0;0;255;255;255;0;0,0000;0,0000\r\n"
              "1000;0;-250;255;0;0;3;1,5000;0,2500;2;10;20;30\r\n"
              "0;1000;0;0;0;0;0;0,0000;1,0000\r\n"
              "Flaechen\r\n0;1;2\r\n"
              "ScalX;ScalY;ScalZ;RotX;RotY;RotZ;MoveX;MoveY;MoveZ\r\n"
              "1,0000;1,0000;1,0000;0,00;0,00;90,00;500;0;-20\r\n");
}

TEST(TextWriterTest, EmptyTavModelGivesTheFourFixedLines) {
    KonModell model;
    model.Variante = kVarianteTav;
    EXPECT_EQ(Written(model, '\t'),
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
