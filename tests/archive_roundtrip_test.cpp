// Random models of both variants written, read back and written again; and
// every prefix of an archive refused as truncated.

#include <gtest/gtest.h>

#include "support/archive_builder.h"
#include "support/haus_model.h"
#include "support/random_model.h"

namespace kon::test {
namespace {

TEST(ArchiveRoundTripTest, RandomModelsComeBackFieldForField) {
    std::mt19937 random(20250611);
    for (int round = 0; round < 200; ++round) {
        const KonModell model =
            RandomModel(random, round % 2 ? Form::kTavArchive : Form::kMolkArchive);
        const std::string bytes = ArchiveBytes(model);
        const ReadOutcome back = ReadArchiveBytes(bytes);
        ASSERT_EQ(back.out, "") << "round " << round;
        ASSERT_EQ(back.model.Geladen, 1);
        EXPECT_EQ(Records(back.model), Records(AsArchived(model))) << "round " << round;
        EXPECT_EQ(ArchiveBytes(back.model), bytes);
    }
}

TEST(ArchiveRoundTripTest, EveryPrefixIsTruncated) {
    std::mt19937 random(7);
    KonModell model;
    while (model.PunktAnzahl < 2 || model.InstanzAnzahl < 2 || model.LinienAnzahl < 2)
        model = RandomModel(random, Form::kTavArchive);
    const std::string bytes = ArchiveBytes(model);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const ReadOutcome r = ReadArchiveBytes(bytes.substr(0, length));
        ASSERT_EQ(r.out, "Unerwartetes Dateiende in m.dat!\nReturn->") << "length " << length;
        ASSERT_EQ(r.model.Geladen, 0);
    }
}

}  // namespace
}  // namespace kon::test
