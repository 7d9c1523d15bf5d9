// Every way an archive read can fail, with the whole console output in the
// order the user sees it, and the cases that must load.

#include <gtest/gtest.h>

#include "support/archive_builder.h"

namespace kon::test {
namespace {

const CObPunkt kP{};
const CObFormat kF{};
const Linie kL{};
const std::string kEnd = "EOF not found!Return->";

ArchiveBuilder Molk() {
    return std::move(ArchiveBuilder().Header());
}
// A TAV archive whose one point announces a Zusatz list; the list follows by hand.
ArchiveBuilder TavZusatz() {
    CObPunkt p;
    p.Marke = 0xEF;
    return std::move(ArchiveBuilder().Header(5760, 4000).Begin(1, "CObPunkt").Punkt(p));
}
// An archive without points whose instance array begins next.
ArchiveBuilder UpToInstances() {
    return std::move(Molk().Word(0).Index(EmptyStream()));
}
// Valid from the given builder on: the empty arrays after the index array.
std::string Done(ArchiveBuilder b) {
    return b.EmptyTail().bytes();
}
// Two points and then the given polygon index stream.
std::string Stream(const std::vector<Obj>& objects) {
    return Done(Molk().Punkte({kP, kP}).Index(objects));
}
// A report through the wait, then the leftover bytes noticed at the end.
std::string Says(const std::string& message) {
    return message + "!\nReturn->" + kEnd;
}
std::string Ff(const std::string& n) {
    return Says("Formatfehler " + n + " in m.dat");
}

TEST(ArchiveReadTest, ReportsInOrder) {
    std::vector<Obj> tooMany = {V(0)};  // more polygons than a count can hold
    tooMany.insert(tooMany.end(), 32768, P(0));
    tooMany.insert(tooMany.end(), {V(1), V(4), V(7), V(9), V(9)});
    const struct {
        const char* name;
        std::string bytes, out;
        bool loads = false;
    } cases[] = {
        {"WrongKennung", Done(ArchiveBuilder().Header(2881, 2025).Word(0).Index(EmptyStream())),
         Says("Falsche Versionskennung: b41")},
        {"OtherFormatnummer", Done(ArchiveBuilder().Header(2880, 4000)),
         "I: 4000 S: 2025\n" + Ff("1")},
        {"PointKopfTag", Done(Molk().Words({1, 5, 0})), "I: 5 S: -1\n" + Ff("7")},
        {"PointKopfSchema", Done(Molk().Words({1, 0xFFFF, 1})), "I: 1 S: 0\n" + Ff("7")},
        {"PointNameLength", Done(Molk().Words({1, 0xFFFF, 0, 9}).Text("CObPunktX")), Ff("8")},
        {"PointNameCase", Done(Molk().Word(1).Kopf("CObpunkt")), Ff("8")},
        {"PointSeparator", Done(Molk().Begin(2, "CObPunkt").Punkt(kP).Word(0x8002).Punkt(kP)),
         "I: -32766 S: -32767\n" + Says("Formatfehler 12")},
        {"NegativePointCount", Done(Molk().Word(0x8000)),
         Says("Ungueltige Anzahl -32768 in m.dat")},
        {"ZusatzFifthByteOnlyShown",
         Done(TavZusatz().Dword(1).Text("\1\2\3\4\7").End(1).Index(EmptyStream())), "I: 7 S: 0\n",
         true},
        {"NegativeZusatzAnzahl", Done(TavZusatz().Dword(0xFFFFFFFF)),
         Says("Ungueltige Anzahl -1 in m.dat")},
        {"HugeZusatzAnzahlEndsAsTruncated",
         TavZusatz().Dword(0x7FFFFFFF).Text("\1\2\3\4\0\5").bytes(),
         "Unerwartetes Dateiende in m.dat!\nReturn->"},
        {"TruncatedHeader", "\x40\x0B", "Unerwartetes Dateiende in m.dat!\nReturn->"},
        {"IndexKopfTag", Done(Molk().Words({0, 6, 0x1234})), "I: 4660 S: -1\n" + Ff("13")},
        {"IndexName", Done(Molk().Words({0, 6}).Kopf("CObIndey")), Ff("14")},
        {"IndexSeparator",
         Done(Molk().Word(0).Begin(6, "CObIndex").Object(V(0)).Word(0x8002).Object(V(1))),
         "I: -32766 S: -32767\n" + Says("Falscher Trenner1: ffff8001")},
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
        {"TooManyPolygons", Stream(tooMany), Says("Anzahl Flaechen nicht OK")},
        // Upper 16 bits are ignored and -1 passes; the run of one in the
        // last section is a polygon of its own.
        {"IndexEqualToPunktAnzahl",
         Stream({V(0), V(1), P(0x10001), P(0xFFFF), V(4), V(7), V(9), P(0x50002), V(9), V(9)}),
         Says("Falscher Punkt: 2, 2")},
        {"InstanceKopfSchema", Done(UpToInstances().Words({1, 0xFFFF, 2})),
         "I: 2 S: 0\n" + Ff("17")},
        {"InstanceName", Done(UpToInstances().Word(1).Kopf("CObFormaT")), Ff("18")},
        {"NegativeInstanceCount", Done(UpToInstances().Word(0xFFFF)),
         Says("Ungueltige Anzahl -1 in m.dat")},
        {"InstanceSeparatorShowsWidenedMarke",
         Done(Molk()
                  .Punkte({kP, kP, kP})
                  .Index({V(0), P(0), P(1), V(1), P(1), P(2), V(4), V(7), V(9), V(9)})
                  .Begin(2, "CObFormat")
                  .Format(kF)
                  .Word(0x8011)
                  .Format(kF)),
         Says("Falscher Trenner2: ffff8010")},
        {"EscapeWithWrongSecondWord",
         Done(UpToInstances()
                  .Begin(2, "CObFormat")
                  .Format(kF)
                  .Words({0x7FFF, 0xDD7E, 0})
                  .Format(kF)),
         Says("Falscher Trenner2: ffff8008")},
        {"EscapeFormSticksForTheRead",
         UpToInstances()
             .Begin(3, "CObFormat")
             .Format(kF)
             .Words({0x7FFF, 0xDD7D, 0x1234})
             .Format(kF)
             .Words({0, 0x1111, 0x2222})
             .Format(kF)
             .End(3)
             .AfterInstances()
             .bytes(),
         "", true},
        {"DashedLineKopfTag", Done(UpToInstances().Words({0, 1, 7})), "I: 7 S: -1\n" + Ff("17")},
        {"LineName", Done(UpToInstances().Words({0, 0, 1}).Kopf("CObStrichLinie")), Ff("18")},
        {"LineSeparator",
         Done(UpToInstances().Words({0, 0}).Begin(2, "CObLinie").Linie(kL).Word(0x1111).Linie(kL)),
         "I: 4369 S: -32760\n" + Ff("20")},
        {"ReservedArrayNotEmpty", UpToInstances().Words({0, 0, 0, 1, 0}).bytes(), Ff("Juhu")},
        {"DimensionLineCount", UpToInstances().Words({0, 0, 0, 0, 0x8001}).bytes(),
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
    };
    for (const auto& c : cases) {
        const ReadOutcome r = ReadArchiveBytes(c.bytes);
        EXPECT_EQ(r.out, c.out) << c.name;
        EXPECT_EQ(r.model.Geladen, c.loads ? 1 : 0) << c.name;
    }
}

}  // namespace
}  // namespace kon::test
