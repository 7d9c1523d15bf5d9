// Every way an archive read can fail, with the whole console output in the
// order the user sees it, and the cases that must load.

#include <gtest/gtest.h>

#include "support/archive_builder.h"

namespace kon::test {
namespace {

struct ReadCase {
    const char* name;
    std::string bytes;
    std::string out;
    bool loads = false;
};

void PrintTo(const ReadCase& c, std::ostream* os) {
    *os << c.name;
}

const CObPunkt kP{};
const CObFormat kF{};
const Linie kL{};
const std::string kEnd = "EOF not found!Return->";
const std::string kShort = "Unerwartetes Dateiende in m.dat!\nReturn->";

ArchiveBuilder Molk() {
    ArchiveBuilder b;
    b.Header();
    return b;
}
ArchiveBuilder Tav() {
    ArchiveBuilder b;
    b.Header(5760, 4000);
    return b;
}
// An archive without points whose instance array begins next.
ArchiveBuilder UpToInstances() {
    ArchiveBuilder b = Molk();
    b.Word(0).Index(EmptyStream());
    return b;
}
// Valid from the given builder on: the empty arrays after the index array.
std::string Done(ArchiveBuilder b) {
    return b.EmptyTail().bytes();
}
std::string Ff(const std::string& n) {
    return "Formatfehler " + n + " in m.dat!\nReturn->";
}
// A TAV point announcing a Zusatz list; the list follows by hand.
CObPunkt ZusatzPunkt() {
    CObPunkt p;
    p.Marke = 0xEF;
    return p;
}
// Two points and then the given polygon index stream.
std::string Stream(const std::vector<Obj>& objects) {
    return Done(Molk().Punkte({kP, kP}).Index(objects));
}
std::string Says(const std::string& message) {
    return message + "!\nReturn->" + kEnd;
}
// More polygons than the model's counts can hold, all in section 1.
std::vector<Obj> TooManyPolygons() {
    std::vector<Obj> objects = {V(0)};
    objects.insert(objects.end(), 32768, P(0));
    objects.insert(objects.end(), {V(1), V(4), V(7), V(9), V(9)});
    return objects;
}

std::vector<ReadCase> Cases() {
    std::vector<ReadCase> cases = {
        {"WrongKennung", Done(ArchiveBuilder().Header(2881, 2025).Word(0).Index(EmptyStream())),
         "Falsche Versionskennung: b41!\nReturn->" + kEnd},
        {"FormatnummerOfOtherVariant", Done(ArchiveBuilder().Header(2880, 4000)),
         "I: 4000 S: 2025\n" + Ff("1") + kEnd},
        {"PointKopfTag", Done(Molk().Word(1).Word(5).Word(0)), "I: 5 S: -1\n" + Ff("7") + kEnd},
        {"PointKopfSchema", Done(Molk().Word(1).Word(0xFFFF).Word(1)),
         "I: 1 S: 0\n" + Ff("7") + kEnd},
        {"PointNameLength", Done(Molk().Word(1).Word(0xFFFF).Word(0).Word(9).Text("CObPunktX")),
         Ff("8") + kEnd},
        {"PointNameCase", Done(Molk().Word(1).Kopf("CObpunkt")), Ff("8") + kEnd},
        {"PointSeparator", Done(Molk().Begin(2, "CObPunkt").Punkt(kP).Word(0x8002).Punkt(kP)),
         "I: -32766 S: -32767\nFormatfehler 12!\nReturn->" + kEnd},
        {"NegativePointCount", Done(Molk().Word(0x8000)),
         "Ungueltige Anzahl -32768 in m.dat!\nReturn->" + kEnd},
        {"ZusatzFifthByteOnlyShown",
         Done(Tav()
                  .Begin(1, "CObPunkt")
                  .Punkt(ZusatzPunkt())
                  .Dword(1)
                  .Text("\1\2\3\4\7")
                  .End(1)
                  .Index(EmptyStream())),
         "I: 7 S: 0\n", true},
        {"NegativeZusatzAnzahl",
         Done(Tav().Begin(1, "CObPunkt").Punkt(ZusatzPunkt()).Dword(0xFFFFFFFF)),
         "Ungueltige Anzahl -1 in m.dat!\nReturn->" + kEnd},
        {"HugeZusatzAnzahlEndsAsTruncated",
         Tav()
             .Begin(1, "CObPunkt")
             .Punkt(ZusatzPunkt())
             .Dword(0x7FFFFFFF)
             .Text("\1\2\3\4\0\5")
             .bytes(),
         kShort},
        {"IndexKopfTag", Done(Molk().Word(0).Word(6).Word(0x1234)),
         "I: 4660 S: -1\n" + Ff("13") + kEnd},
        {"IndexName", Done(Molk().Word(0).Word(6).Kopf("CObIndey")), Ff("14") + kEnd},
        {"IndexSeparator",
         Done(Molk().Word(0).Begin(6, "CObIndex").Object(V(0)).Word(0x8002).Object(V(1))),
         "I: -32766 S: -32767\nFalscher Trenner1: ffff8001!\nReturn->" + kEnd},
        // The polygon index stream, checked in the decoder's order.
        {"NoStartMarker", Stream({P(0), V(1), V(4), V(7), V(9), V(9)}),
         Says("Vert(0,1) nicht gefunden")},
        {"OtherKennzeichenEndsSection", Stream({V(0), P(0), {1, 2}, V(4), V(7), V(9), V(9)}),
         Says("Vert(1,1) nicht gefunden")},
        {"OddSection2", Stream({V(0), V(1), P(0), V(4), V(7), V(9), V(9)}),
         Says("2-Vert nicht OK")},
        {"EndsWhereVert4Belongs", Stream({V(0), V(1), P(0), P(1)}),
         Says("Vert(4,1) nicht gefunden")},
        {"Section3NotTriples", Stream({V(0), V(1), V(4), P(0), V(7), V(9), V(9)}),
         Says("3-Vert nicht OK")},
        {"MissingVert7", Stream({V(0), V(1), V(4), V(9), V(9)}), Says("Vert(7,1) nicht gefunden")},
        {"Section4NotQuads", Stream({V(0), V(1), V(4), V(7), P(0), V(9), V(9)}),
         Says("4-Vert nicht OK")},
        {"MissingVert9", Stream({V(0), V(1), V(4), V(7), V(7), V(9)}),
         Says("Vert(9,1) nicht gefunden")},
        {"EndsInsideLongPolygon", Stream({V(0), V(1), V(4), V(7), V(9), P(0), P(1)}),
         Says("Vert(9,1) nicht gefunden")},
        {"EndsAfterLastLongPolygon", Stream({V(0), V(1), V(4), V(7), V(9), P(0), V(9)}),
         Says("Ende-Vert(9,1) nicht gefunden")},
        {"WrongEndMarker", Stream({V(0), V(1), V(4), V(7), V(9), V(7)}),
         Says("Ende-Vert(9,1) nicht gefunden")},
        {"TooManyPolygons", Stream(TooManyPolygons()), Says("Anzahl Flaechen nicht OK")},
        // Upper 16 bits are ignored and -1 passes; the run of one in the
        // last section is a polygon of its own.
        {"IndexEqualToPunktAnzahl",
         Stream({V(0), V(1), P(0x10001), P(0xFFFF), V(4), V(7), V(9), P(0x50002), V(9), V(9)}),
         Says("Falscher Punkt: 2, 2")},
        {"InstanceKopfSchema", Done(UpToInstances().Word(1).Word(0xFFFF).Word(2)),
         "I: 2 S: 0\n" + Ff("17") + kEnd},
        {"InstanceName", Done(UpToInstances().Word(1).Kopf("CObFormaT")), Ff("18") + kEnd},
        {"NegativeInstanceCount", Done(UpToInstances().Word(0xFFFF)),
         "Ungueltige Anzahl -1 in m.dat!\nReturn->" + kEnd},
        {"InstanceSeparatorShowsWidenedMarke",
         Done(Molk()
                  .Punkte({kP, kP, kP})
                  .Index({V(0), P(0), P(1), V(1), P(1), P(2), V(4), V(7), V(9), V(9)})
                  .Begin(2, "CObFormat")
                  .Format(kF)
                  .Word(0x8011)
                  .Format(kF)),
         "Falscher Trenner2: ffff8010!\nReturn->" + kEnd},
        {"EscapeWithWrongSecondWord",
         Done(UpToInstances()
                  .Begin(2, "CObFormat")
                  .Format(kF)
                  .Word(0x7FFF)
                  .Word(0xDD7E)
                  .Word(0)
                  .Format(kF)),
         "Falscher Trenner2: ffff8008!\nReturn->" + kEnd},
        {"EscapeFormSticksForTheRead",
         UpToInstances()
             .Begin(3, "CObFormat")
             .Format(kF)
             .Word(0x7FFF)
             .Word(0xDD7D)
             .Word(0x1234)
             .Format(kF)
             .Word(0x0000)
             .Word(0x1111)
             .Word(0x2222)
             .Format(kF)
             .End(3)
             .AfterInstances()
             .bytes(),
         "", true},
        {"DashedLineKopfTag", Done(UpToInstances().Word(0).Word(1).Word(7)),
         "I: 7 S: -1\n" + Ff("17") + kEnd},
        {"LineName", Done(UpToInstances().Word(0).Word(0).Word(1).Kopf("CObStrichLinie")),
         Ff("18") + kEnd},
        {"LineSeparator",
         Done(
             UpToInstances().Word(0).Word(0).Begin(2, "CObLinie").Linie(kL).Word(0x1111).Linie(kL)),
         "I: 4369 S: -32760\n" + Ff("20") + kEnd},
        {"ReservedArrayNotEmpty", UpToInstances().Word(0).Word(0).Word(0).Word(1).Word(0).bytes(),
         Ff("Juhu") + kEnd},
        {"DimensionLineCount", UpToInstances().Word(0).Word(0).Word(0).Word(0).Word(0x8001).bytes(),
         "Ungueltige Anzahl -32767 in m.dat!\nReturn->"},
        {"OneExtraByteStillLoads", Done(UpToInstances()) + '\0', kEnd, true},
        // Section 5 holds a run of one, which decodes to a one-corner polygon
        // that counts 7 objects, not 8: later separators follow the polygons.
        {"IndexCountWordDoesNotMoveNumbering",
         Molk()
             .Punkte({kP})
             .Index({V(0), V(1), V(4), V(7), V(9), P(0), V(9), V(9)}, 7)
             .Formate({kF, kF})
             .AfterInstances()
             .bytes(),
         "", true},
        {"TruncatedHeader", "\x40\x0B", kShort},
    };
    return cases;
}

class ArchiveReadTest : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ArchiveReadTest, ReportsInOrder) {
    const ReadCase& c = GetParam();
    const ReadOutcome r = ReadArchiveBytes(c.bytes);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.model.Geladen, c.loads ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(Archives, ArchiveReadTest, ::testing::ValuesIn(Cases()),
                         [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace kon::test
