// Writes the seed corpus of the fuzz targets into a directory: small valid
// and faulty archives built with the tests' archive builder, and text files
// that exercise the looser forms the text reader accepts.

#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "support/archive_builder.h"

namespace {

using kon::test::ArchiveBuilder;
using kon::test::P;
using kon::test::V;

void Save(const std::filesystem::path& dir, const std::string& name, const std::string& bytes) {
    std::ofstream out(dir / name, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

kon::CObPunkt Point(std::int32_t x, std::int32_t y, bool zusatz) {
    kon::CObPunkt p;
    p.X = x;
    p.Y = y;
    p.Z = x - y;
    p.Res2 = 0xDEADBEEF;
    p.TexX = 0.5f;
    if (zusatz) {
        p.Marke = kon::kZusatzMarke;
        p.Zusatz = {{10, 20, 30, 2}, {1, 2, 3, 4}};
        p.ZusatzAnzahl = 2;
    }
    return p;
}

std::string Archive(bool tav) {
    ArchiveBuilder b;
    b.Header(tav ? 5760 : 2880, tav ? 4000 : 2025);
    b.Punkte({Point(0, 0, tav), Point(3, 4, false), Point(-7, 9, tav), Point(100, 100, false),
              Point(5, 5, false), Point(6, 1, false)},
             tav);
    b.Index({V(0), P(0), V(1), P(0), P(1), V(4), P(0), P(1), P(2), V(7), P(0), P(1),
             P(2), P(3), V(9), P(0), P(1), P(2), P(3), P(4), P(5), V(9), V(9)});
    kon::CObFormat f;
    f.RotZ = 90.0;
    f.MoveX = -20;
    b.Formate({f, f});
    kon::Linie l{0, 0, 3, 4, 5.0};
    b.Linien("CObStrichLinie", {l}).Linien("CObLinie", {l, l, l}).Word(0);
    b.Linien("CObMassLinie", {l});
    return b.bytes();
}

// Instances joined by the escape separator 0x7FFF 0xDD7D <any>.
std::string EscapedInstances() {
    ArchiveBuilder b;
    b.Header().Word(0).Index(kon::test::EmptyStream());
    b.Begin(3, "CObFormat");
    const kon::CObFormat f;
    b.Format(f).Word(0x7FFF).Word(0xDD7D).Word(0x1234).Format(f).Word(0).Word(0).Word(0).Format(f);
    b.End(3).AfterInstances();
    return b.bytes();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_seeds DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    Save(dir, "molk.kon", Archive(false));
    Save(dir, "tav.kon", Archive(true));
    Save(dir, "escape.kon", EscapedInstances());
    Save(dir, "empty.kon",
         ArchiveBuilder().Header().Word(0).Index(kon::test::EmptyStream()).EmptyTail().bytes());
    Save(dir, "loose.csv",
         "\xEF\xBB\xBFkon\tmolk\n"
         "x\n\n1\t2\t3\t\t300\t2\t3\t7\t0,5\t1.5e2\t2\t10\t20\t30\t3\n4\t5\t6\n"
         "FLAECHEN\n0\t1\n1\t0\t1\t0\t1\t0\n\nscalx\n"
         "1\t1\t1\tinf\t-nan\t1e400\t5\t6\t7\t8\n");
    Save(dir, "tav.csv", "KON;TAV;;\r\nX;Y\r\n1;2;3\r\nFlaechen\r\n0\r\nScalX\r\n");
    return 0;
}
