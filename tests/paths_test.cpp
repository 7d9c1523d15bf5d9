#include "driver/paths.h"

#include <gtest/gtest.h>

namespace kon {
namespace {

struct PathCase {
    const char* path;
    const char* extension;
    const char* stem;
    const char* baseName;
};

void PrintTo(const PathCase& c, std::ostream* os) {
    *os << '"' << c.path << '"';
}

class PathTest : public ::testing::TestWithParam<PathCase> {};

TEST_P(PathTest, SplitsLastComponent) {
    const PathCase& c = GetParam();
    EXPECT_EQ(PathExtension(c.path), c.extension);
    EXPECT_EQ(PathStem(c.path), c.stem);
    EXPECT_EQ(PathBaseName(c.path), c.baseName);
    EXPECT_EQ(PathBaseNameCopy(c.path), c.baseName);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, PathTest,
    ::testing::Values(
        PathCase{"model.kon", "kon", "model", "model.kon"}, PathCase{"model", "", "model", "model"},
        PathCase{"a.b.c", "c", "a.b", "a.b.c"}, PathCase{"model.", "", "model", "model."},
        PathCase{".kon", "kon", "", ".kon"}, PathCase{"dir\\.kon", "kon", "dir\\", ".kon"},
        PathCase{"dir.x\\model", "", "dir.x\\model", "model"},
        PathCase{"dir.x/model", "", "dir.x/model", "model"},
        PathCase{"C:\\daten\\haus.KON", "KON", "C:\\daten\\haus", "haus.KON"},
        PathCase{"/home/u/v1.2/haus.csv", "csv", "/home/u/v1.2/haus", "haus.csv"},
        PathCase{"a/b\\c.d", "d", "a/b\\c", "c.d"}, PathCase{"dir/", "", "dir/", ""},
        PathCase{"", "", "", ""}));

TEST(PathTest, LongPathsHaveNoLimit) {
    const std::string dir(5000, 'd');
    const std::string path = dir + "/" + std::string(700, 'n') + ".kon";
    EXPECT_EQ(PathStem(path), dir + "/" + std::string(700, 'n'));
    EXPECT_EQ(PathBaseName(path).size(), 704u);
}

}  // namespace
}  // namespace kon
