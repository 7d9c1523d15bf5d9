#include "driver/paths.h"

#include <gtest/gtest.h>

namespace kon {
namespace {

TEST(PathTest, SplitsTheLastComponentAtEitherSeparator) {
    const std::string longDir(5000, 'd');
    const struct {
        std::string path, extension, stem, baseName;
    } cases[] = {
        {"model.kon", "kon", "model", "model.kon"},
        {"model", "", "model", "model"},
        {"a.b.c", "c", "a.b", "a.b.c"},
        {"model.", "", "model", "model."},
        {".kon", "kon", "", ".kon"},
        {"dir\\.kon", "kon", "dir\\", ".kon"},
        {"dir.x\\model", "", "dir.x\\model", "model"},
        {"dir.x/model", "", "dir.x/model", "model"},
        {"C:\\daten\\haus.KON", "KON", "C:\\daten\\haus", "haus.KON"},
        {"a/b\\c.d", "d", "a/b\\c", "c.d"},
        {"dir/", "", "dir/", ""},
        {"", "", "", ""},
        {longDir + "/n.csv", "csv", longDir + "/n", "n.csv"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(PathExtension(c.path), c.extension) << c.path;
        EXPECT_EQ(PathStem(c.path), c.stem) << c.path;
        EXPECT_EQ(PathBaseName(c.path), c.baseName) << c.path;
        EXPECT_EQ(PathBaseNameCopy(c.path), c.baseName) << c.path;
    }
}

}  // namespace
}  // namespace kon
