#include "support/haus_model.h"

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "archive/kon_archive.h"

#ifndef KONVERT_EXAMPLES_DIR
#define KONVERT_EXAMPLES_DIR "examples"
#endif

namespace kon::test {

namespace {

CObPunkt Punkt(std::int32_t x, std::int32_t y, std::int32_t z, std::uint8_t r, std::uint8_t g,
               std::uint8_t b, float texX, float texY) {
    CObPunkt p;
    p.X = x;
    p.Y = y;
    p.Z = z;
    p.R = r;
    p.G = g;
    p.B = b;
    p.TexX = texX;
    p.TexY = texY;
    return p;
}

Flaeche Polygon(std::initializer_list<std::int16_t> corners) {
    Flaeche f;
    for (std::int16_t corner : corners) AppendEcke(f, corner);
    return f;
}

}  // namespace

KonModell HausModell() {
    KonModell model;
    model.Punkte = {
        Punkt(0, 0, 0, 255, 255, 255, 0.0f, 0.0f), Punkt(1000, 0, -250, 255, 0, 0, 1.5f, 0.25f),
        Punkt(0, 1000, 0, 0, 0, 0, 0.0f, 1.0f), Punkt(1000, 1000, 0, 0, 128, 0, 1.0f, 1.0f)};
    CObPunkt& tagged = model.Punkte[1];
    tagged.TexId = 3;
    tagged.Zusatz = {PunktZusatz{10, 20, 30, 2}};
    tagged.ZusatzAnzahl = 1;
    tagged.Marke = kZusatzMarke;
    model.PunktAnzahl = 4;

    model.Flaechenliste = {Polygon({0, 1, 2}), Polygon({1, 3, 2}), Polygon({0, 3})};
    model.FlaechenAnzahl = 3;

    CObFormat instance;
    instance.RotZ = 90.0;
    instance.MoveX = 500;
    instance.MoveZ = -20;
    model.Instanzen = {instance};
    model.InstanzAnzahl = 1;

    // The two-corner polygon is the dimension line; edge {1, 2} is shared by
    // both triangles and dashed, met first as 1 -> 2; the rest are single.
    const double diagonal = std::sqrt(2000000.0);
    model.MassLinien = {Linie{0, 0, 1000, 1000, diagonal}};
    model.MassLinienAnzahl = 1;
    model.Linien = {Linie{0, 0, 1000, 0, 1000.0}, Linie{0, 1000, 0, 0, 1000.0},
                    Linie{1000, 0, 1000, 1000, 1000.0}, Linie{1000, 1000, 0, 1000, 1000.0}};
    model.LinienAnzahl = 4;
    model.StrichLinien = {Linie{1000, 0, 0, 1000, diagonal}};
    model.StrichLinienAnzahl = 1;
    model.Geladen = 1;
    return model;
}

KonModell HausModellAfterArchive() {
    KonModell model = HausModell();
    CObPunkt& tagged = model.Punkte[1];
    tagged.Zusatz.clear();
    tagged.ZusatzAnzahl = 0;
    tagged.Marke = 0;
    return model;
}

std::string HausArchiveText(char separator) {
    std::string text =
        "KON;MOLK\r\n"
        "X;Y;Z;R;G;B;TexId;TexX;TexY\r\n"
        "0;0;0;255;255;255;0;0,0000;0,0000\r\n"
        "1000;0;-250;255;0;0;3;1,5000;0,2500\r\n"
        "0;1000;0;0;0;0;0;0,0000;1,0000\r\n"
        "1000;1000;0;0;128;0;0;1,0000;1,0000\r\n"
        "Flaechen\r\n"
        "0;3\r\n"
        "0;1;2\r\n"
        "1;3;2\r\n"
        "ScalX;ScalY;ScalZ;RotX;RotY;RotZ;MoveX;MoveY;MoveZ\r\n"
        "1,0000;1,0000;1,0000;0,00;0,00;90,00;500;0;-20\r\n";
    for (char& c : text) {
        if (c == ';') c = separator;
    }
    return text;
}

std::string ArchiveBytes(const KonModell& model) {
    std::ostringstream out(std::ios::binary);
    WriteKonArchiveTo(model, out);
    return out.str();
}

std::string ExampleFile(const std::string& name) {
    std::ifstream in(std::string(KONVERT_EXAMPLES_DIR) + "/" + name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace kon::test
