// The writer: exact bytes, the running Klassenmarke across its wrap, and the
// size check that comes before any file exists.

#include <gtest/gtest.h>

#include <cmath>

#include "archive/kon_archive.h"
#include "support/archive_builder.h"
#include "support/captured_console.h"
#include "support/haus_model.h"
#include "support/konvert_runner.h"

namespace kon::test {
namespace {

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
    ASSERT_EQ(back.model.Geladen, 1);
    EXPECT_EQ(back.model.Instanzen[2].MoveX, 0x7FFF);
    EXPECT_TRUE(std::signbit(back.model.Instanzen[1].RotY));
    EXPECT_EQ(ArchiveBytes(back.model), bytes);
}

TEST(ArchiveWriteTest, OversizeModelIsRefusedBeforeAnyFileExists) {
    // A polygon of n corners counts n + 1 index objects beside the five other markers.
    const struct {
        std::int32_t punkte, instanzen, linien, massLinien, ecken;
        bool fits;
    } cases[] = {{32768, 0, 0, 0, 0, false}, {0, -1, 0, 0, 0, false},    {0, 0, 40000, 0, 0, false},
                 {0, 0, 0, 32768, 0, false}, {0, 0, 0, 0, 65529, false}, {0, 0, 0, 0, 65528, true}};
    for (const auto& c : cases) {
        KonModell model;
        model.PunktAnzahl = c.punkte;
        model.InstanzAnzahl = c.instanzen;
        model.LinienAnzahl = c.linien;
        model.MassLinienAnzahl = c.massLinien;
        model.Flaechenliste.resize(1);
        model.FlaechenAnzahl = 1;
        for (std::int32_t i = 0; i < c.ecken; ++i) AppendEcke(model.Flaechenliste[0], 0);
        Sandbox sandbox;
        CapturedConsole console;
        const std::string path = (sandbox.dir() / "work" / "m.kon").string();
        EXPECT_EQ(WriteKonArchive(model, path, console.console) != 0, c.fits) << c.ecken;
        EXPECT_EQ(console.out.str(),
                  c.fits ? "" : "Modell zu gross fuer ein Kon-Archiv!\nReturn->");
        EXPECT_EQ(sandbox.Files().size(), c.fits ? 1u : 0u);
    }
}

}  // namespace
}  // namespace kon::test
