// The warnings of the exports through assimp, for formats whose files hold a
// date (dae, 3mf) and so cannot be golden rows. The mapping of scenes, round
// trips and refusals are golden rows.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "bridge/assimp_bridge.h"

namespace kon::bridge {
namespace {

std::string Joined(const std::vector<std::string>& warnings) {
    std::string joined;
    for (const std::string& w : warnings) joined += (joined.empty() ? "" : " | ") + w;
    return joined;
}

TEST(BridgeExport, WarningsNameEveryLoss) {
    KonModell model;
    model.Punkte.resize(5);        // the last used by nothing
    model.Punkte[0].X = 20000000;  // beyond single precision
    model.Punkte[1].Y = 1000;
    model.Punkte[2].Z = 1000;
    model.Punkte[3].TexX = 0.1f;
    for (const auto& corners : {std::vector<std::int16_t>{0, 1, 2},
                                {0, 1, 2, 3},
                                {0, 1},
                                {0, 1, 400}}) {  // a dimension line, a polygon naming no point
        model.Flaechenliste.emplace_back();
        for (const std::int16_t c : corners) AppendEcke(model.Flaechenliste.back(), c);
    }
    model.Instanzen.push_back({100, 200, 300, 0, 0, 90, 2, 2, 2});
    const std::string common =
        "left out 1 polygon of one or two corners (dimension lines); FMT gets polygons only | "
        "left out 1 polygon naming points that do not exist | left out 1 point that no "
        "written polygon uses | 1 point has coordinates beyond ";
    const std::pair<const char*, std::string> rows[] = {
        {"ply",
         "16777216, which ply as assimp writes it rounds to single precision | left out 1 "
         "instance placement; ply has no nodes for them"},
        {"dae", "16777216, which dae as assimp writes it rounds to single precision"},
        {"3mf",
         "999999, which 3mf as assimp writes it rounds to six significant digits | 3mf as "
         "assimp writes it keeps no point colours | 3mf as assimp writes it does not keep "
         "texture coordinates exactly | left out 1 instance placement; 3mf has no nodes for them"},
    };
    for (const auto& [format, tail] : rows) {
        std::ostringstream out;
        const BridgeResult result = ExportWithAssimp(model, format, out);
        ASSERT_TRUE(result.ok()) << result.error;
        std::string expected = common + tail;
        expected.replace(expected.find("FMT"), 3, format);
        EXPECT_EQ(Joined(result.warnings), expected);
        EXPECT_FALSE(out.str().empty());
    }
    std::ostringstream out;
    EXPECT_EQ(ExportWithAssimp(model, "glb", out).error, "assimp offers no export format \"glb\"");
    EXPECT_EQ(ExportWithAssimp(KonModell{}, "ply", out).error,
              "no polygons of three or more corners to write");
    EXPECT_TRUE(out.str().empty());
}

}  // namespace
}  // namespace kon::bridge
