// What the golden rows' exact bytes cannot tell: that each polygon's
// triangles cover its area on its own side, that an instance's node places a
// point where Kon's X-then-Y-then-Z rotation puts it, and that its numbers
// are std::to_chars's text for every value, not only the rows' few.

#include <gtest/gtest.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <nlohmann/json.hpp>
#include <random>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "export/gltf.h"
#include "export/gltf_placement.h"
#include "export/shortest_text.h"
#include "export/triangulate.h"
#include "io/output_file.h"
#include "support/konvert_runner.h"

namespace kon {
namespace {

Vec3 Cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
Vec3 Minus(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double Dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

TEST(TriangulateTest, TrianglesCoverTheAreaOnThePolygonsSide) {
    const std::vector<Vec3> l = {{0, 0, 0},   {2, 0, 0}, {2, 1, 0}, {1, 1, 0},
                                 {1, 1.5, 0}, {1, 2, 0}, {0, 2, 0}};
    const struct {
        const char* name;
        std::vector<Vec3> corners;
        std::size_t triangles;
        double area;
        Vec3 side;
    } cases[] = {
        {"triangle", {l[0], l[1], l[2]}, 1, 1.0, {0, 0, 1}},
        {"convex square as a fan", {l[0], l[1], l[2], l[6]}, 2, 3.0, {0, 0, 1}},
        {"concave L with a corner on an edge", l, 5, 3.0, {0, 0, 1}},
        {"concave L clockwise", {l[6], l[5], l[3], l[2], l[1], l[0]}, 4, 3.0, {0, 0, -1}},
        {"dart whose fan would leave it",
         {{0, 0, 0}, {2, 1, 0}, {4, 0, 0}, {2, 4, 0}},
         2,
         6.0,
         {0, 0, 1}},
        {"concave upright wall",
         {{0, 0, 0}, {0, 0, 3}, {1, 0, 1}, {2, 0, 3}, {2, 0, 0}},
         3,
         4.0,
         {0, 1, 0}},
        {"all on one line", {l[0], l[1], l[1]}, 0, 0.0, {0, 0, 1}},
        {"two corners", {l[0], l[1]}, 0, 0.0, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<std::size_t> indices = Triangulate(c.corners);
        ASSERT_EQ(indices.size(), 3 * c.triangles);
        double area = 0.0;
        for (std::size_t t = 0; t < indices.size(); t += 3) {
            const Vec3& a = c.corners.at(indices[t]);
            const Vec3 n = Cross(Minus(c.corners.at(indices[t + 1]), a),
                                 Minus(c.corners.at(indices[t + 2]), a));
            EXPECT_GT(Dot(n, c.side), 0.0);
            area += std::sqrt(Dot(n, n)) / 2;
        }
        EXPECT_NEAR(area, c.area, 1e-9);
    }
}

TEST(GltfTest, InstanceRotationIsKonXThenYThenZSeenFromGltf) {
    const double pi = std::acos(-1.0);
    const struct {
        double rx, ry, rz;
    } cases[] = {{90, 0, 0}, {0, 90, 0}, {0, 0, 90}, {30, -45, 120}, {-170, 20, 725}};
    for (const auto& c : cases) {
        KonModell model;
        model.Instanzen = {CObFormat{1000, 2000, 3000, c.rx, c.ry, c.rz, 2.0f, 3.0f, 4.0f}};
        std::ostringstream out;
        WriteGltf(model, out, GltfForm::kJson);
        const nlohmann::json node = nlohmann::json::parse(out.str())["nodes"][0];
        const Vec3 t = node["translation"], s = node["scale"];
        const std::array<double, 4> q = node["rotation"];
        // Kon: w = T + Rz Ry Rx S v, by plain matrices; expected in glTF axes.
        const Vec3 v = {0.3, -1.7, 2.9};
        Vec3 w = {v[0] * 2, v[1] * 3, v[2] * 4};
        for (const auto& [axis, deg] : {std::pair{0, c.rx}, {1, c.ry}, {2, c.rz}}) {
            const double a = deg * pi / 180, cs = std::cos(a), sn = std::sin(a);
            const auto i = static_cast<std::size_t>((axis + 1) % 3),
                       k = static_cast<std::size_t>((axis + 2) % 3);
            const double wi = cs * w[i] - sn * w[k], wk = sn * w[i] + cs * w[k];
            w[i] = wi, w[k] = wk;
        }
        w = {w[0] + 1000, w[1] + 2000, w[2] + 3000};
        // glTF: T' + q (S' v') q*, with v' = v in glTF axes, all in metres.
        const Vec3 g = {s[0] * v[0] / 1000, s[1] * v[2] / 1000, s[2] * -v[1] / 1000};
        const Vec3 u = {q[0], q[1], q[2]};
        const Vec3 uv = Cross(u, g), uuv = Cross(u, uv);
        const Vec3 r = {g[0] + 2 * (q[3] * uv[0] + uuv[0]), g[1] + 2 * (q[3] * uv[1] + uuv[1]),
                        g[2] + 2 * (q[3] * uv[2] + uuv[2])};
        // The rotation is held as 32-bit floats.
        EXPECT_NEAR(r[0] + t[0], w[0] / 1000, 1e-8);
        EXPECT_NEAR(r[1] + t[1], w[2] / 1000, 1e-8);
        EXPECT_NEAR(r[2] + t[2], -w[1] / 1000, 1e-8);
    }
}

// The move in metres on glTF's axes, for the extremes of the 32-bit words
// too; no move stays "0", never "-0".
TEST(GltfTest, InstanceTranslationIsTheMoveInMetres) {
    constexpr std::int32_t kLow = std::numeric_limits<std::int32_t>::min();
    constexpr std::int32_t kHigh = std::numeric_limits<std::int32_t>::max();
    const struct {
        std::int32_t x, y, z;
        const char* text;
    } cases[] = {{0, 0, 0, "[0,0,0]"},
                 {1000, 2000, 3000, "[1,3,-2]"},
                 {kLow, kLow, kLow, "[-2147483.648,-2147483.648,2147483.648]"},
                 {kHigh, kHigh, kHigh, "[2147483.647,2147483.647,-2147483.647]"},
                 {-1, 1, 0, "[-0.001,0,-0.001]"}};
    for (const auto& c : cases) {
        KonModell model;
        model.Instanzen = {CObFormat{c.x, c.y, c.z, 0.0, 0.0, 0.0, 1.0f, 1.0f, 1.0f}};
        std::ostringstream out;
        WriteGltf(model, out, GltfForm::kJson);
        EXPECT_NE(out.str().find(std::string("\"translation\":") + c.text), std::string::npos)
            << c.text << " in " << out.str();
    }
}

// Enough instances for two threads to write the nodes: every one is there,
// in order, numbered and placed as its instance.
TEST(GltfTest, ManyInstancesAreNodesInOrder) {
    KonModell model;
    std::mt19937 random(3);
    for (int i = 0; i < 9001; ++i) {
        const auto move = [&] { return static_cast<std::int32_t>(random() % 2000001) - 1000000; };
        const auto turn = [&] { return static_cast<double>(random() % 72000) / 100 - 360; };
        model.Instanzen.push_back(CObFormat{move(), move(), move(), turn(), turn(), turn(),
                                            static_cast<float>(random() % 400) / 100, 1.0f, 0.5f});
    }
    // The longest numbers there are, written into room set aside per node.
    constexpr float kLongest[] = {-1.17549435e-38f, -3.40282347e+38f, -1.4e-45f, -1.23456791e-10f};
    for (std::size_t i = 0; i < model.Instanzen.size(); i += 7) {
        CObFormat& f = model.Instanzen[i];
        f.MoveX = f.MoveY = f.MoveZ = std::numeric_limits<std::int32_t>::min();
        f.RotX = -179.123456789;
        f.ScalX = f.ScalY = f.ScalZ = kLongest[i % 4];
    }
    std::ostringstream out;
    WriteGltf(model, out, GltfForm::kJson);
    const nlohmann::json nodes = nlohmann::json::parse(out.str())["nodes"];
    ASSERT_EQ(nodes.size(), model.Instanzen.size());
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const CObFormat& f = model.Instanzen[i];
        const GltfPlacement p = ToGltfPlacement(f);
        ASSERT_EQ(nodes[i]["name"], "Instanz " + std::to_string(i + 1));
        for (std::size_t k = 0; k < 3; ++k) {
            ASSERT_EQ(nodes[i]["translation"][k].get<double>(),
                      static_cast<double>(p.move[k]) / 1000.0)
                << i;
        }
        for (std::size_t k = 0; k < 4; ++k) {
            ASSERT_EQ(static_cast<float>(nodes[i]["rotation"][k].get<double>()),
                      static_cast<float>(p.rotation[k]))
                << i;
        }
        for (std::size_t k = 0; k < 3; ++k) {
            ASSERT_EQ(static_cast<float>(nodes[i]["scale"][k].get<double>()),
                      static_cast<float>(p.scale[k]))
                << i;
        }
    }
}

std::uint32_t WordAt(const std::string& bytes, std::size_t at) {
    std::uint32_t word = 0;
    for (std::size_t k = 4; k-- > 0;) word = word << 8 | static_cast<unsigned char>(bytes[at + k]);
    return word;
}

// The GLB's lengths are filled in last, through the file replacement, for
// outputs of one block and of many (both threads then write nodes): the
// total is the file's size, the JSON chunk holds the whole JSON and no more
// than its padding, and the binary chunk fills the rest.
TEST(GltfTest, GlbLengthsMatchWhatWasWritten) {
    for (const std::size_t instances : {0u, 1u, 4096u, 9001u}) {
        KonModell model;
        model.Punkte = {CObPunkt{}, CObPunkt{}, CObPunkt{}};
        model.Punkte[1].X = 1000;
        model.Punkte[2].Y = 1000;
        Flaeche f;
        f.Anzahl = 3;
        f.Ecken[1] = 1;
        f.Ecken[2] = 2;
        model.Flaechenliste = {f};
        model.Instanzen.assign(instances, CObFormat{1, 2, 3, 10.0, 20.0, 30.0, 1.5f, 1.0f, 0.5f});
        test::Sandbox sandbox;
        const std::filesystem::path output = sandbox.dir() / "work" / "out.glb";
        ASSERT_EQ(
            WriteOutputFile(output.string(),
                            [&](std::ostream& out) { WriteGltf(model, out, GltfForm::kBinary); }),
            OutputResult::kWritten);
        const std::string glb = test::ReadFileBytes(output);
        ASSERT_GE(glb.size(), 28u) << instances;
        EXPECT_EQ(WordAt(glb, 0), 0x46546C67u) << instances;
        EXPECT_EQ(WordAt(glb, 8), glb.size()) << instances;
        const std::uint32_t json = WordAt(glb, 12);
        ASSERT_LE(20 + json + 8, glb.size()) << instances;
        const std::string text = glb.substr(20, json);
        EXPECT_LE(text.size() - (text.find_last_not_of(' ') + 1), 3u) << instances;  // padding
        const nlohmann::json document = nlohmann::json::parse(text);
        EXPECT_EQ(document["nodes"].size(), instances + 1) << instances;  // the mesh's node
        EXPECT_EQ(20 + json + 8 + WordAt(glb, 20 + json), glb.size()) << instances;
        EXPECT_EQ(WordAt(glb, 20 + json + 4), 0x004E4942u) << instances;
    }
}

// A stream that writes only at its end cannot take the lengths in their
// place: the writer says so instead of leaving zeros in the header.
TEST(GltfTest, GlbToAStreamThatOnlyAppendsFails) {
    test::Sandbox sandbox;
    const std::filesystem::path file = sandbox.dir() / "work" / "append.glb";
    test::WriteFileBytes(file, "old");
    KonModell model;
    model.Instanzen = {CObFormat{}};
    std::ofstream out(file, std::ios::binary | std::ios::app);
    WriteGltf(model, out, GltfForm::kBinary);
    EXPECT_TRUE(out.fail());
}

template <typename Real>
std::string_view Shortest(Real value, char* text) {
    return {text, static_cast<std::size_t>(PutShortest(text, value) - text)};
}
template <typename Real>
std::string_view Library(Real value, char* text) {
    return {text, static_cast<std::size_t>(std::to_chars(text, text + 64, value).ptr - text)};
}

// Random bit patterns (mostly left to the library), random values of the
// quick band's every binade, and its edges: powers of two, whose lower gap is
// half the upper, the band's ends, and placements in whole millimetres.
// KONVERT_SHORTEST_SAMPLES runs more.
TEST(ShortestTextTest, MatchesToCharsForFloatAndDouble) {
    const char* env = std::getenv("KONVERT_SHORTEST_SAMPLES");
    const long samples = env != nullptr ? std::atol(env) : 400000;
    std::vector<double> values = {1e-3, 1e5, 0.1, 1.0, 336.119, -0.664, 99999.99, 0.0, -0.0};
    for (int e = -12; e <= 18; ++e) {
        const double power = std::ldexp(1.0, e);
        values.insert(values.end(),
                      {power, std::nextafter(power, 0.0), std::nextafter(power, 1e9)});
    }
    values.insert(values.end(), {std::nextafter(1e-3, 0.0), std::nextafter(1e5, 0.0),
                                 static_cast<double>(std::nextafter(1e-3f, 0.0f))});
    std::mt19937_64 random(20261207);
    for (long i = 0; i < samples; ++i) {
        const std::uint64_t bits = random();
        values.push_back(i % 4 == 0 ? std::bit_cast<double>(bits)
                                    : std::ldexp(static_cast<double>(bits >> 11) * 0x1p-53,
                                                 static_cast<int>(bits % 28) - 9) *
                                          ((bits & 1024) != 0 ? -1 : 1));
        // Placements in whole millimetres, and their neighbours, which are not.
        const double millimetres =
            static_cast<double>(static_cast<std::int64_t>(bits % 200000001) - 100000000) / 1000;
        values.insert(values.end(), {millimetres, std::nextafter(millimetres, 1e9)});
    }
    long mismatches = 0;
    char ours[kMaxShortestChars];
    char theirs[64];
    for (const double value : values) {
        const auto single = static_cast<float>(value);
        for (const bool asFloat : {false, true}) {
            const std::string_view a = asFloat ? Shortest(single, ours) : Shortest(value, ours);
            const std::string_view b = asFloat ? Library(single, theirs) : Library(value, theirs);
            if (a != b && ++mismatches < 5) {
                ADD_FAILURE() << std::hexfloat << value << (asFloat ? " as float: " : ": ") << a
                              << " vs " << b;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

// Moves in whole millimetres, written as metres straight from the integer:
// the same text as the double's, at the edges of the fixed form and of the
// 32-bit words too.
TEST(ShortestTextTest, ThousandthsMatchToChars) {
    std::vector<std::int64_t> moves = {
        0,         1,          -1,        999,        1000,          -1001,       99999999,
        100000000, -100000000, 123456789, 2147483647, -2147483648LL, 4294967295LL};
    std::mt19937_64 random(7);
    for (int i = 0; i < 200000; ++i) {
        const std::uint64_t bits = random();
        moves.push_back(static_cast<std::int64_t>(bits % 8589934591ULL) - 4294967295LL);
        moves.push_back(static_cast<std::int64_t>(bits % 20001) - 10000);
    }
    char ours[kMaxShortestChars];
    char theirs[64];
    long mismatches = 0;
    for (const std::int64_t n : moves) {
        const std::string_view a(ours,
                                 static_cast<std::size_t>(PutShortestThousandths(ours, n) - ours));
        const std::string_view b = Library(static_cast<double>(n) / 1000.0, theirs);
        if (a != b && ++mismatches < 5) ADD_FAILURE() << n << ": " << a << " vs " << b;
    }
    EXPECT_EQ(mismatches, 0);
}

}  // namespace
}  // namespace kon
