// The writer: exact bytes, the running Klassenmarke across its wrap, and the
// size check that comes before any file exists.

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

#include "archive/kon_archive.h"
#include "support/archive_builder.h"
#include "support/captured_console.h"
#include "support/konvert_runner.h"

namespace kon::test {
namespace {

std::string Written(const KonModell& model) {
    std::ostringstream out;
    WriteKonArchiveTo(model, out);
    return out.str();
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
    const std::string bytes = Written(KonModell{});
    EXPECT_EQ(bytes.size(), 94u);
    EXPECT_EQ(bytes, expected);
    const ReadOutcome back = ReadArchiveBytes(bytes);
    EXPECT_EQ(back.out, "");
    EXPECT_EQ(back.model.Geladen, 1);
}

// 32767 points, then `polygons` one-corner polygons and three instances.
KonModell Large(std::size_t polygons) {
    KonModell m;
    m.PunktAnzahl = 0x7FFF;
    m.Punkte.resize(0x7FFF + 3);
    m.FlaechenAnzahl = static_cast<std::int32_t>(polygons);
    m.Flaechenliste.resize(polygons);
    for (Flaeche& f : m.Flaechenliste) AppendEcke(f, 7);
    m.InstanzAnzahl = 3;
    m.Instanzen.resize(3);
    m.Instanzen[1].RotY = -0.0;
    m.Instanzen[2].MoveX = 0x7FFF;
    return m;
}

TEST(ArchiveWriteTest, KlassenmarkeWrapsAfter7fffPoints) {
    const std::string bytes = Written(Large(0));
    const std::size_t points = 10 + 14;
    EXPECT_EQ(WordAt(bytes, points + 48), 0x8001);  // first point separator
    const std::size_t index = points + 0x7FFF * 48 + 0x7FFE * 2;
    EXPECT_EQ(bytes.substr(index, 16), std::string("\x06\0\xFF\xFF\0\0\x08\0CObIndex", 16));
    EXPECT_EQ(WordAt(bytes, index + 16 + 8), 0x0001);
}

TEST(ArchiveWriteTest, InstancesNumbered7fffReadBack) {
    // 0x8001 + 0x8000 (points) + 32766 (index objects) wraps to 0x7FFF.
    const KonModell model = Large(32759);
    const std::string bytes = Written(model);
    const std::size_t instances = bytes.size() - 8 - 3 * 48 - 2 * 2 - 15 - 2;
    EXPECT_EQ(WordAt(bytes, instances + 2 + 15 + 48), 0x7FFF);
    const ReadOutcome back = ReadArchiveBytes(bytes);
    EXPECT_EQ(back.out, "");
    ASSERT_EQ(back.model.Geladen, 1);
    EXPECT_EQ(back.model.Instanzen[2].MoveX, 0x7FFF);
    EXPECT_TRUE(std::signbit(back.model.Instanzen[1].RotY));
    EXPECT_EQ(Written(back.model), bytes);
}

struct OversizeCase {
    const char* name;
    void (*grow)(KonModell&);
    bool fits;
};

void PrintTo(const OversizeCase& c, std::ostream* os) {
    *os << c.name;
}

void Corners(KonModell& m, std::int32_t n) {
    m.FlaechenAnzahl = 1;
    m.Flaechenliste.resize(1);
    for (std::int32_t i = 0; i < n; ++i) AppendEcke(m.Flaechenliste[0], 0);
}

class OversizeTest : public ::testing::TestWithParam<OversizeCase> {};

TEST_P(OversizeTest, RefusedBeforeAnyFileExists) {
    KonModell model;
    GetParam().grow(model);
    Sandbox sandbox;
    const std::string path = (sandbox.dir() / "work" / "m.kon").string();
    CapturedConsole c;
    const int written = WriteKonArchive(model, path, c.console);
    EXPECT_EQ(written != 0, GetParam().fits);
    EXPECT_EQ(c.out.str(), GetParam().fits ? "" : "Modell zu gross fuer ein Kon-Archiv!\nReturn->");
    EXPECT_EQ(sandbox.Files().size(), GetParam().fits ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Models, OversizeTest,
    ::testing::Values(
        OversizeCase{"Points32768", [](KonModell& m) { m.PunktAnzahl = 32768; }, false},
        OversizeCase{"NegativeInstances", [](KonModell& m) { m.InstanzAnzahl = -1; }, false},
        OversizeCase{"Lines40000", [](KonModell& m) { m.LinienAnzahl = 40000; }, false},
        OversizeCase{"DimensionLines32768", [](KonModell& m) { m.MassLinienAnzahl = 32768; },
                     false},
        OversizeCase{"IndexObjects65536", [](KonModell& m) { Corners(m, 65529); }, false},
        OversizeCase{"IndexObjects65535", [](KonModell& m) { Corners(m, 65528); }, true}),
    [](const auto& tc) { return std::string(tc.param.name); });

}  // namespace
}  // namespace kon::test
