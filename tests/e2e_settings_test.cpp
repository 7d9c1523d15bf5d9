// The settings live in the built program behind their markers, once each,
// with their default values right behind them.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace {

std::string ProgramImage() {
    std::ifstream in(KONVERT_DEFAULT_COMMAND, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::size_t CountOf(const std::string& image, const std::string& needle) {
    std::size_t count = 0;
    for (auto at = image.find(needle); at != std::string::npos; at = image.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

TEST(SettingsE2eTest, EachMarkerStandsOnceWithItsDefaultBehindIt) {
    const std::string image = ProgramImage();
    ASSERT_FALSE(image.empty());
    const std::string trenner = std::string("@Tren") + "ner@";
    const std::string endung = std::string("@End") + "ung@";
    EXPECT_EQ(CountOf(image, trenner), 1u);
    EXPECT_EQ(CountOf(image, endung), 1u);
    EXPECT_EQ(CountOf(image, trenner + std::string(";\0", 2)), 1u);
    EXPECT_EQ(CountOf(image, endung + std::string(".csv\0\0\0\0\0\0\0\0", 12)), 1u);
}

}  // namespace
