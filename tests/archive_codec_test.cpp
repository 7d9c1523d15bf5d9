// The archive codec: every way a read can fail, with its diagnostics (kind,
// konvert's message, the byte offset) in order; the writer's exact bytes and
// running Klassenmarke; round trips; and the windowed byte cursor.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "archive/byte_cursor.h"
#include "archive/kon_archive.h"
#include "support/archive_builder.h"
#include "support/haus_model.h"
#include "support/random_model.h"

namespace kon::test {
namespace {

using namespace std::string_view_literals;

const CObPunkt kP{};
const CObFormat kF{};
const Linie kL{};
const std::string kEnd = "EOF not found!";

ArchiveBuilder Molk() {
    return std::move(ArchiveBuilder().Header());
}
// A TAV archive whose one point announces a Zusatz list; the list follows by hand.
ArchiveBuilder TavZusatz() {
    CObPunkt p;
    p.Marke = 0xEF;
    return std::move(ArchiveBuilder().Header(5760, 4000).Begin(1, "CObPunkt").Punkt(p));
}
// An archive without points whose instance array begins next, at byte 84.
ArchiveBuilder UpToInstances() {
    return std::move(Molk().Word(0).Index(EmptyStream()));
}
// Valid from the given builder on: the empty arrays after the index array.
std::string Done(ArchiveBuilder b) {
    return b.EmptyTail().bytes();
}
// Two points and then the given polygon index stream, whose object i starts
// at byte 138 + 10 i.
std::string Stream(const std::vector<Obj>& objects) {
    return Done(Molk().Punkte({kP, kP}).Index(objects));
}
std::uint64_t Object(std::uint64_t i) {
    return 138 + 10 * i;
}
// A failure, then the leftover bytes noticed at the end.
std::string Says(const std::string& message) {
    return message + "!\n" + kEnd;
}
std::string Ff(const std::string& n) {
    return Says("Formatfehler " + n + " in m.dat");
}
const std::string kTruncated = "Unerwartetes Dateiende in m.dat!\n";

using K = FaultKind;

TEST(ArchiveReadTest, ReportsInOrderWithKindAndOffset) {
    std::vector<Obj> tooMany = {V(0)};  // more polygons than a count can hold
    tooMany.insert(tooMany.end(), 32768, P(0));
    tooMany.insert(tooMany.end(), {V(1), V(4), V(7), V(9), V(9)});
    const struct {
        const char* name;
        std::string bytes, out;
        FaultKind kind;  // kNone: the archive loads
        std::uint64_t offset = 0;
    } cases[] = {
        {"WrongKennung", Done(ArchiveBuilder().Header(2881, 2025).Word(0).Index(EmptyStream())),
         Says("Falsche Versionskennung: b41"), K::kBadVersion, 0},
        {"OtherFormatnummer", Done(ArchiveBuilder().Header(2880, 4000)),
         "I: 4000 S: 2025\n" + Ff("1"), K::kBadFraming, 4},
        {"PointKopfTag", Done(Molk().Words({1, 5, 0})), "I: 5 S: -1\n" + Ff("7"), K::kBadFraming,
         10},
        {"PointKopfSchema", Done(Molk().Words({1, 0xFFFF, 1})), "I: 1 S: 0\n" + Ff("7"),
         K::kBadFraming, 12},
        {"PointNameLength", Done(Molk().Words({1, 0xFFFF, 0, 9}).Text("CObPunktX")), Ff("8"),
         K::kBadFraming, 14},
        {"PointNameCase", Done(Molk().Word(1).Kopf("CObpunkt")), Ff("8"), K::kBadFraming, 16},
        {"PointSeparator", Done(Molk().Begin(2, "CObPunkt").Punkt(kP).Word(0x8002).Punkt(kP)),
         "I: -32766 S: -32767\n" + Says("Formatfehler 12"), K::kBadFraming, 72},
        {"NegativePointCount", Done(Molk().Word(0x8000)), Says("Ungueltige Anzahl -32768 in m.dat"),
         K::kBadCount, 8},
        {"ZusatzFifthByteOnlyShown",
         Done(TavZusatz().Dword(1).Text("\1\2\3\4\7").End(1).Index(EmptyStream())), "I: 7 S: 0\n",
         K::kNone},
        {"NegativeZusatzAnzahl", Done(TavZusatz().Dword(0xFFFFFFFF)),
         Says("Ungueltige Anzahl -1 in m.dat"), K::kBadCount, 72},
        {"HugeZusatzAnzahlEndsAsTruncated",
         TavZusatz().Dword(0x7FFFFFFF).Text("\1\2\3\4\0\5"sv).bytes(), kTruncated, K::kTruncated,
         81},
        {"TruncatedHeader", "\x40\x0B", kTruncated, K::kTruncated, 0},
        {"IndexKopfTag", Done(Molk().Words({0, 6, 0x1234})), "I: 4660 S: -1\n" + Ff("13"),
         K::kBadFraming, 12},
        {"IndexName", Done(Molk().Words({0, 6}).Kopf("CObIndey")), Ff("14"), K::kBadFraming, 18},
        {"IndexSeparator",
         Done(Molk().Word(0).Begin(6, "CObIndex").Object(V(0)).Word(0x8002).Object(V(1))),
         "I: -32766 S: -32767\n" + Says("Falscher Trenner1: ffff8001"), K::kBadFraming, 34},
        // The polygon index stream, checked in the decoder's order.
        {"NoStartMarker", Stream({P(0), V(1), V(4), V(7), V(9), V(9)}),
         Says("Vert(0,1) nicht gefunden"), K::kBadIndexStream, Object(0)},
        {"OtherKennzeichenEndsSection", Stream({V(0), P(0), {1, 2}, V(4), V(7), V(9), V(9)}),
         Says("Vert(1,1) nicht gefunden"), K::kBadIndexStream, Object(2)},
        {"OddSection2", Stream({V(0), V(1), P(0), V(4), V(7), V(9), V(9)}), Says("2-Vert nicht OK"),
         K::kBadIndexStream, Object(2)},
        // A stream that ends too early names its end, behind the last object.
        {"EndsWhereVert4Belongs", Stream({V(0), V(1), P(0), P(1)}),
         Says("Vert(4,1) nicht gefunden"), K::kBadIndexStream, Object(4) - 2},
        {"Section3NotTriples", Stream({V(0), V(1), V(4), P(0), V(7), V(9), V(9)}),
         Says("3-Vert nicht OK"), K::kBadIndexStream, Object(3)},
        {"MissingVert7", Stream({V(0), V(1), V(4), V(9), V(9)}), Says("Vert(7,1) nicht gefunden"),
         K::kBadIndexStream, Object(3)},
        {"Section4NotQuads", Stream({V(0), V(1), V(4), V(7), P(0), V(9), V(9)}),
         Says("4-Vert nicht OK"), K::kBadIndexStream, Object(4)},
        {"MissingVert9", Stream({V(0), V(1), V(4), V(7), V(7), V(9)}),
         Says("Vert(9,1) nicht gefunden"), K::kBadIndexStream, Object(4)},
        {"EndsInsideLongPolygon", Stream({V(0), V(1), V(4), V(7), V(9), P(0), P(1)}),
         Says("Vert(9,1) nicht gefunden"), K::kBadIndexStream, Object(7) - 2},
        {"EndsAfterLastLongPolygon", Stream({V(0), V(1), V(4), V(7), V(9), P(0), V(9)}),
         Says("Ende-Vert(9,1) nicht gefunden"), K::kBadIndexStream, Object(7) - 2},
        {"WrongEndMarker", Stream({V(0), V(1), V(4), V(7), V(9), V(7)}),
         Says("Ende-Vert(9,1) nicht gefunden"), K::kBadIndexStream, Object(5)},
        {"TooManyPolygons", Stream(tooMany), Says("Anzahl Flaechen nicht OK"), K::kBadIndexStream,
         Object(0)},
        // Upper 16 bits are ignored and -1 passes; the run of one in the
        // last section is a polygon of its own.
        {"IndexEqualToPunktAnzahl",
         Stream({V(0), V(1), P(0x10001), P(0xFFFF), V(4), V(7), V(9), P(0x50002), V(9), V(9)}),
         Says("Falscher Punkt: 2, 2"), K::kBadPointIndex, Object(7)},
        {"InstanceKopfSchema", Done(UpToInstances().Words({1, 0xFFFF, 2})),
         "I: 2 S: 0\n" + Ff("17"), K::kBadFraming, 88},
        {"InstanceName", Done(UpToInstances().Word(1).Kopf("CObFormaT")), Ff("18"), K::kBadFraming,
         92},
        {"NegativeInstanceCount", Done(UpToInstances().Word(0xFFFF)),
         Says("Ungueltige Anzahl -1 in m.dat"), K::kBadCount, 84},
        {"InstanceSeparatorShowsWidenedMarke",
         Done(Molk()
                  .Punkte({kP, kP, kP})
                  .Index({V(0), P(0), P(1), V(1), P(1), P(2), V(4), V(7), V(9), V(9)})
                  .Begin(2, "CObFormat")
                  .Format(kF)
                  .Word(0x8011)
                  .Format(kF)),
         Says("Falscher Trenner2: ffff8010"), K::kBadFraming, 351},
        {"EscapeWithWrongSecondWord",
         Done(UpToInstances()
                  .Begin(2, "CObFormat")
                  .Format(kF)
                  .Words({0x7FFF, 0xDD7E, 0})
                  .Format(kF)),
         Says("Falscher Trenner2: ffff8008"), K::kBadFraming, 151},
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
         "", K::kNone},
        {"DashedLineKopfTag", Done(UpToInstances().Words({0, 1, 7})), "I: 7 S: -1\n" + Ff("17"),
         K::kBadFraming, 88},
        {"LineName", Done(UpToInstances().Words({0, 0, 1}).Kopf("CObStrichLinie")), Ff("18"),
         K::kBadFraming, 94},  // the length word already differs
        {"LineSeparator",
         Done(UpToInstances().Words({0, 0}).Begin(2, "CObLinie").Linie(kL).Word(0x1111).Linie(kL)),
         "I: 4369 S: -32760\n" + Ff("20"), K::kBadFraming, 128},
        {"ReservedArrayNotEmpty", UpToInstances().Words({0, 0, 0, 1, 0}).bytes(), Ff("Juhu"),
         K::kBadFraming, 90},
        {"DimensionLineCount", UpToInstances().Words({0, 0, 0, 0, 0x8001}).bytes(),
         "Ungueltige Anzahl -32767 in m.dat!\n", K::kBadCount, 92},
        {"OneExtraByteStillLoads", Done(UpToInstances()) + '\0', kEnd, K::kNone},
        // Section 5 holds a run of one, which decodes to a one-corner polygon
        // that counts 7 objects, not 8: later separators follow the polygons.
        {"IndexCountWordDoesNotMoveNumbering",
         Molk()
             .Punkte({kP})
             .Index({V(0), V(1), V(4), V(7), V(9), P(0), V(9), V(9)}, 7)
             .Formate({kF, kF})
             .AfterInstances()
             .bytes(),
         "", K::kNone},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ReadOutcome r = ReadArchiveBytes(c.bytes);
        EXPECT_EQ(r.out, c.out);
        const Diagnostic* error = r.diagnostics.Error();
        if (c.kind == K::kNone) {
            EXPECT_EQ(error, nullptr);
            continue;
        }
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->kind, c.kind);
        EXPECT_EQ(error->where.unit, Location::Unit::kByte);
        EXPECT_EQ(error->where.value, c.offset);
        EXPECT_FALSE(error->explanation.empty());
    }
}

TEST(ArchiveReadTest, ExplanationsNameWhatWasExpectedAndFound) {
    const struct {
        std::string bytes, explanation;
    } cases[] = {
        {Done(Molk().Words({1, 0x1234, 0})),
         "expected the class header of CObPunkt (tag 0xffff, schema 0x0000), found 0x1234"},
        {Done(ArchiveBuilder().Header(2881, 2025)),
         "expected a Kon archive header (2880 or 5760), found 2881"},
        {Stream({V(0), V(1), V(4), V(9), V(9)}), "expected the marker (7,1), found (9,1)"},
        {"\x40\x0B", "expected the archive's version word, found the end of the file"},
    };
    for (const auto& c : cases) {
        const ReadOutcome r = ReadArchiveBytes(c.bytes);
        ASSERT_NE(r.diagnostics.Error(), nullptr);
        EXPECT_EQ(r.diagnostics.Error()->explanation, c.explanation);
    }
}

TEST(ArchiveReadTest, StreamErrorIsAReadErrorNotTheEnd) {
    struct BrokenBuffer : std::streambuf {
        int_type underflow() override { throw std::ios_base::failure("device gone"); }
    } broken;
    std::istream in(&broken);
    KonModell model;
    const Diagnostics d = ReadKonArchive(in, "m.kon", model);
    ASSERT_EQ(d.items.size(), 1u);
    EXPECT_EQ(d.items[0].kind, FaultKind::kReadError);
    EXPECT_EQ(d.items[0].message, "Fehler beim Lesen von m.kon!\n");
}

std::uint16_t WordAt(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                      static_cast<unsigned char>(bytes[offset + 1]) << 8);
}

TEST(ArchiveWriteTest, EmptyModelIs94KnownBytes) {
    std::string expected("\x40\x0B\0\0\xE9\x07\0\0\0\0\x06\0\xFF\xFF\0\0\x08\0CObIndex", 26);
    for (const int marker : {0, 1, 4, 7, 9, 9}) {
        expected += std::string(1, static_cast<char>(marker)) + std::string("\0\0\0\x01\0\0\0", 7);
        if (expected.size() < 26 + 5 * 10) expected += "\x01\x80";
    }
    expected += std::string(10, '\0');
    EXPECT_EQ(ArchiveBytes(KonModell{}), expected);
    EXPECT_EQ(expected.size(), 94u);
}

// 32767 points, then `polygons` one-corner polygons and three instances.
KonModell Large(std::size_t polygons) {
    KonModell m;
    m.Punkte.resize(0x7FFF);
    m.Flaechenliste.resize(polygons);
    for (Flaeche& f : m.Flaechenliste) AppendEcke(f, 7);
    m.Instanzen.resize(3);
    m.Instanzen[1].RotY = -0.0;
    m.Instanzen[2].MoveX = 0x7FFF;
    return m;
}

TEST(ArchiveWriteTest, KlassenmarkeWrapsAfter7fffPoints) {
    const std::string bytes = ArchiveBytes(Large(0));
    const std::size_t points = 10 + 14;
    EXPECT_EQ(WordAt(bytes, points + 48), 0x8001);  // first point separator
    const std::size_t index = points + 0x7FFF * 48 + 0x7FFE * 2;
    EXPECT_EQ(bytes.substr(index, 16), std::string("\x06\0\xFF\xFF\0\0\x08\0CObIndex", 16));
    EXPECT_EQ(WordAt(bytes, index + 16 + 8), 0x0001);
}

TEST(ArchiveWriteTest, InstancesNumbered7fffReadBack) {
    // 0x8001 + 0x8000 (points) + 32766 (index objects) wraps to 0x7FFF.
    const std::string bytes = ArchiveBytes(Large(32759));
    const std::size_t instances = bytes.size() - 8 - 3 * 48 - 2 * 2 - 15 - 2;
    EXPECT_EQ(WordAt(bytes, instances + 2 + 15 + 48), 0x7FFF);
    const ReadOutcome back = ReadArchiveBytes(bytes);
    EXPECT_EQ(back.out, "");
    ASSERT_TRUE(back.diagnostics.Ok());
    EXPECT_EQ(back.model.Instanzen[2].MoveX, 0x7FFF);
    EXPECT_TRUE(std::signbit(back.model.Instanzen[1].RotY));
    EXPECT_EQ(ArchiveBytes(back.model), bytes);
}

TEST(ArchiveWriteTest, OversizeModelIsRefused) {
    // A polygon of n corners counts n + 1 index objects beside the five other markers.
    const struct {
        std::size_t punkte, instanzen, linien, massLinien, flaechen, ecken;
        bool fits;
    } cases[] = {{32768, 0, 0, 0, 1, 0, false}, {32767, 32767, 32767, 32767, 1, 0, true},
                 {0, 32768, 0, 0, 1, 0, false}, {0, 0, 40000, 0, 1, 0, false},
                 {0, 0, 0, 32768, 1, 0, false}, {0, 0, 0, 0, 32768, 0, false},
                 {0, 0, 0, 0, 1, 65529, false}, {0, 0, 0, 0, 1, 65528, true}};
    for (const auto& c : cases) {
        KonModell model;
        model.Punkte.resize(c.punkte);
        model.Instanzen.resize(c.instanzen);
        model.Linien.resize(c.linien);
        model.MassLinien.resize(c.massLinien);
        model.Flaechenliste.resize(c.flaechen);
        for (std::size_t i = 0; i < c.ecken; ++i) AppendEcke(model.Flaechenliste[0], 0);
        const std::optional<Diagnostic> fault = CheckFitsKonArchive(model);
        EXPECT_EQ(!fault, c.fits) << c.punkte << " " << c.flaechen << " " << c.ecken;
        if (fault) {
            EXPECT_EQ(fault->kind, FaultKind::kTooLarge);
            EXPECT_EQ(fault->message, "Modell zu gross fuer ein Kon-Archiv!\n");
        }
    }
}

TEST(ArchiveRoundTripTest, RandomModelsComeBackFieldForField) {
    std::mt19937 random(20250611);
    for (int round = 0; round < 200; ++round) {
        const KonModell model =
            RandomModel(random, round % 2 ? Form::kTavArchive : Form::kMolkArchive);
        const std::string bytes = ArchiveBytes(model);
        const ReadOutcome back = ReadArchiveBytes(bytes);
        ASSERT_EQ(back.out, "") << "round " << round;
        EXPECT_EQ(Records(back.model), Records(AsArchived(model))) << "round " << round;
        EXPECT_EQ(ArchiveBytes(back.model), bytes);
    }
}

// Every prefix fails as truncated, at a value that starts inside the prefix.
TEST(ArchiveRoundTripTest, EveryPrefixIsTruncated) {
    std::mt19937 random(7);
    KonModell model;
    while (model.Punkte.size() < 2 || model.Instanzen.size() < 2 || model.Linien.size() < 2)
        model = RandomModel(random, Form::kTavArchive);
    const std::string bytes = ArchiveBytes(model);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        SCOPED_TRACE("length " + std::to_string(length));
        const ReadOutcome r = ReadArchiveBytes(bytes.substr(0, length));
        ASSERT_EQ(r.out, kTruncated);
        const Diagnostic* error = r.diagnostics.Error();
        ASSERT_NE(error, nullptr);
        EXPECT_EQ(error->kind, FaultKind::kTruncated);
        EXPECT_LE(error->where.value, length);
        EXPECT_LT(length - error->where.value, 48u);  // no value is longer than a record
    }
}

// One step of a random read script: a checked read of `width` bytes (0
// peeks a word, 3 takes a run of `width` bytes as a string).
struct Step {
    int kind;
    std::size_t width;
};

// Every value read, as text, with the offset behind it and where a read
// fell short.
std::string Trace(ByteCursor& c, const std::vector<Step>& script) {
    std::ostringstream trace;
    for (const Step& step : script) {
        std::uint16_t word = 0;
        switch (step.kind) {
            case 0:
                trace << "p" << (c.PeekU16(word) ? std::to_string(word) : "-");
                break;
            case 1:
                trace << "w" << (c.ReadU16(word) ? std::to_string(word) : "-");
                break;
            case 2:
                if (c.Need(12)) {
                    trace << "d" << c.U32() << "," << c.F64();
                } else {
                    trace << "d-";
                }
                break;
            default:
                trace << "b" << (c.Need(step.width) ? std::string(c.Bytes(step.width)) : "-");
        }
        trace << "@" << c.Offset() << "/" << c.TruncatedAt() << " ";
    }
    return trace.str();
}

TEST(ByteCursorTest, SmallWindowsReadLikeOneLargeWindow) {
    std::mt19937 random(4242);
    for (int round = 0; round < 200; ++round) {
        std::string bytes(random() % 300, '\0');
        for (char& b : bytes) b = static_cast<char>('a' + random() % 26);
        std::vector<Step> script(random() % 80);
        for (Step& step : script) step = {static_cast<int>(random() % 4), 1 + random() % 40};

        std::istringstream whole(bytes);
        ByteCursor large(whole, 1024);
        const std::string expected = Trace(large, script);
        for (const std::size_t window : {1u, 2u, 3u, 7u, 16u, 64u}) {
            std::istringstream in(bytes);
            ByteCursor windowed(in, window);
            EXPECT_EQ(Trace(windowed, script), expected) << "window " << window;
            EXPECT_FALSE(windowed.ReadFailed());
        }
    }
}

}  // namespace
}  // namespace kon::test
