// The archive codec beyond what the golden rows show: the running Klassenmarke past 0x7FFF, the
// size limits, random round trips, every cut, and the windowed byte cursor.

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <sstream>

#include "archive/byte_cursor.h"
#include "archive/kon_archive.h"
#include "support/archive_records.h"
#include "support/random_model.h"
#include "text/kon_text.h"

namespace kon::test {
namespace {

std::uint16_t WordAt(const std::string& bytes, std::size_t offset) {
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[offset]) |
                                      static_cast<unsigned char>(bytes[offset + 1]) << 8);
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

TEST(ArchiveWriteTest, OversizeModelIsRefusedByEachForm) {
    // A polygon of n corners counts n + 1 index objects beside the five other
    // markers; a text file has a line per point, polygon and instance.
    const struct {
        std::size_t punkte, instanzen, linien, massLinien, flaechen, ecken;
        bool fits, fitsText;
    } cases[] = {
        {32768, 0, 0, 0, 1, 0, false, false}, {32767, 32767, 32767, 32767, 1, 0, true, true},
        {0, 32768, 0, 0, 1, 0, false, false}, {0, 0, 40000, 0, 1, 0, false, true},
        {0, 0, 0, 32768, 1, 0, false, true},  {0, 0, 0, 0, 32768, 0, false, false},
        {0, 0, 0, 0, 32767, 0, true, true},   {0, 0, 0, 0, 1, 65529, false, true},
        {0, 0, 0, 0, 1, 65528, true, true}};
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
        const std::optional<Diagnostic> textFault = CheckFitsKonText(model);
        EXPECT_EQ(!textFault, c.fitsText) << c.punkte << " " << c.instanzen << " " << c.flaechen;
        if (textFault) {
            EXPECT_EQ(textFault->kind, FaultKind::kTooLarge);
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
        ASSERT_EQ(r.out, "Unerwartetes Dateiende in m.dat!\n");
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
