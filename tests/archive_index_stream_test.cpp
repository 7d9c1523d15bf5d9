// The polygon index stream: its exact objects, its size-class order, and
// every structural fault in the order the decoder checks them.

#include "archive/index_stream.h"

#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/captured_console.h"

namespace kon::test {
namespace {

std::string StreamBytes(const std::vector<Obj>& objects) {
    ArchiveBuilder b;
    for (std::size_t i = 0; i < objects.size(); ++i) {
        if (i != 0) b.Marke();
        b.Object(objects[i]);
    }
    return b.bytes();
}

struct Decoded {
    KonModell model;
    std::string out;
    bool ok = false;
};

Decoded Decode(const std::string& bytes, std::size_t count, std::int32_t punkte = 100) {
    Decoded d;
    d.model.PunktAnzahl = punkte;
    CapturedConsole c("\n");
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    ArchiveInput in(ByteCursor(data, data + bytes.size()), c.console, "m.dat");
    d.ok = DecodeIndexStream(d.model, in, static_cast<std::uint16_t>(count), 0x8001);
    d.out = c.out.str();
    return d;
}

Flaeche Polygon(std::initializer_list<std::int16_t> corners) {
    Flaeche f;
    for (const std::int16_t c : corners) AppendEcke(f, c);
    return f;
}

std::vector<std::vector<std::int16_t>> Corners(const KonModell& m) {
    std::vector<std::vector<std::int16_t>> all;
    for (const Flaeche& f : m.Flaechenliste) {
        all.emplace_back();
        for (std::size_t j = 0; j < static_cast<std::size_t>(f.Anzahl); ++j) {
            all.back().push_back(Ecke(f, j));
        }
    }
    return all;
}

TEST(IndexStreamTest, EncodesBySizeClassAndDecodesInThatOrder) {
    KonModell model;
    model.Flaechenliste = {Polygon({12}), Polygon({20, 21, 22, 23, 24}), Polygon({30, 31}),
                           Polygon({}), Polygon({40, 41, 42})};
    model.FlaechenAnzahl = 5;
    const std::vector<Obj> expected = {V(0), P(12), V(1),  P(30), P(31), V(4),  P(40), P(41), P(42),
                                       V(7), V(9),  P(20), P(21), P(22), P(23), P(24), V(9),  V(9)};
    std::string bytes;
    ByteSink sink(bytes);
    EncodeIndexStream(model, sink, 0x8001);
    sink.Finish();
    EXPECT_EQ(bytes, StreamBytes(expected));
    EXPECT_EQ(CountIndexObjects(model), expected.size());

    const Decoded d = Decode(bytes, expected.size());
    ASSERT_TRUE(d.ok) << d.out;
    const std::vector<std::vector<std::int16_t>> order = {
        {12}, {30, 31}, {40, 41, 42}, {20, 21, 22, 23, 24}};
    EXPECT_EQ(Corners(d.model), order);
    EXPECT_EQ(d.model.FlaechenAnzahl, 4);
}

struct FaultCase {
    const char* name;
    std::vector<Obj> objects;
    std::string message;
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

class IndexStreamFaultTest : public ::testing::TestWithParam<FaultCase> {};

TEST_P(IndexStreamFaultTest, FailsBeforeTouchingThePolygons) {
    const FaultCase& c = GetParam();
    const Decoded d = Decode(StreamBytes(c.objects), c.objects.size(), 2);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.out, c.message + "Return->");
    const bool indexCheck = c.message.starts_with("Falscher Punkt");
    EXPECT_EQ(d.model.Flaechenliste.empty(), !indexCheck);
}

INSTANTIATE_TEST_SUITE_P(
    Streams, IndexStreamFaultTest,
    ::testing::Values(
        FaultCase{
            "NoStartMarker", {P(0), V(1), V(4), V(7), V(9), V(9)}, "Vert(0,1) nicht gefunden!\n"},
        FaultCase{"OtherKennzeichenEndsSection",
                  {V(0), P(0), {1, 2}, V(4), V(7), V(9), V(9)},
                  "Vert(1,1) nicht gefunden!\n"},
        FaultCase{"OddSection2", {V(0), V(1), P(0), V(4), V(7), V(9), V(9)}, "2-Vert nicht OK!\n"},
        FaultCase{"EndsWhereVert4Belongs", {V(0), V(1), P(0), P(1)}, "Vert(4,1) nicht gefunden!\n"},
        FaultCase{
            "Section3NotTriples", {V(0), V(1), V(4), P(0), V(7), V(9), V(9)}, "3-Vert nicht OK!\n"},
        FaultCase{"MissingVert7", {V(0), V(1), V(4), V(9), V(9)}, "Vert(7,1) nicht gefunden!\n"},
        FaultCase{
            "Section4NotQuads", {V(0), V(1), V(4), V(7), P(0), V(9), V(9)}, "4-Vert nicht OK!\n"},
        FaultCase{
            "MissingVert9", {V(0), V(1), V(4), V(7), V(7), V(9)}, "Vert(9,1) nicht gefunden!\n"},
        FaultCase{"EndsInsideLongPolygon",
                  {V(0), V(1), V(4), V(7), V(9), P(0), P(1)},
                  "Vert(9,1) nicht gefunden!\n"},
        FaultCase{"EndsAfterLastLongPolygon",
                  {V(0), V(1), V(4), V(7), V(9), P(0), V(9)},
                  "Ende-Vert(9,1) nicht gefunden!\n"},
        FaultCase{"WrongEndMarker",
                  {V(0), V(1), V(4), V(7), V(9), V(7)},
                  "Ende-Vert(9,1) nicht gefunden!\n"},
        // Upper 16 bits are ignored and -1 passes; the run of one in the
        // last section is a polygon of its own.
        FaultCase{"IndexEqualToPunktAnzahl",
                  {V(0), V(1), P(0x10001), P(0xFFFF), V(4), V(7), V(9), P(0x50002), V(9), V(9)},
                  "Falscher Punkt: 2, 2!\n"}),
    [](const auto& tc) { return std::string(tc.param.name); });

TEST(IndexStreamTest, MoreThan32767PolygonsAreRefused) {
    std::vector<Obj> objects = {V(0)};
    objects.insert(objects.end(), 32768, P(0));
    objects.insert(objects.end(), {V(1), V(4), V(7), V(9), V(9)});
    const Decoded d = Decode(StreamBytes(objects), objects.size());
    EXPECT_EQ(d.out, "Anzahl Flaechen nicht OK!\nReturn->");
    EXPECT_EQ(d.model.FlaechenAnzahl, 0);
}

}  // namespace
}  // namespace kon::test
