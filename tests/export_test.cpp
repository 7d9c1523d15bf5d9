#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "export/gltf.h"
#include "export/svg_plan.h"
#include "support/haus_model.h"

namespace kon {
namespace {

using Json = nlohmann::json;
using V3 = std::array<double, 3>;

std::uint32_t Word(const std::string& s, std::size_t at) {
    std::uint32_t w = 0;
    for (std::size_t i = 0; i < 4; ++i)
        w |= static_cast<std::uint32_t>(static_cast<unsigned char>(s[at + i])) << (8 * i);
    return w;
}

// A parsed GLB: its framing checked on the way, every accessor's data read
// back as doubles through its own bufferView, offset and component type.
struct Glb {
    Json json;
    std::string bin;

    explicit Glb(const std::string& bytes) {
        EXPECT_EQ(Word(bytes, 0), 0x46546C67u);
        EXPECT_EQ(Word(bytes, 4), 2u);
        EXPECT_EQ(Word(bytes, 8), bytes.size());
        const std::uint32_t jsonLength = Word(bytes, 12);
        EXPECT_EQ(Word(bytes, 16), 0x4E4F534Au);
        EXPECT_EQ(jsonLength % 4, 0u);
        json = Json::parse(bytes.substr(20, jsonLength));
        const std::size_t binAt = 20 + jsonLength;
        if (binAt < bytes.size()) {
            EXPECT_EQ(Word(bytes, binAt + 4), 0x004E4942u);
            EXPECT_EQ(binAt + 8 + Word(bytes, binAt), bytes.size());
            bin = bytes.substr(binAt + 8);
            EXPECT_EQ(bin.size() % 4, 0u);
            EXPECT_LE(json["buffers"][0]["byteLength"].get<std::size_t>(), bin.size());
        }
    }

    std::vector<std::vector<double>> Read(std::size_t index) const {
        const Json& a = json["accessors"][index];
        const Json& view = json["bufferViews"][a["bufferView"].get<std::size_t>()];
        const std::size_t width = a["type"] == "SCALAR" ? 1
                                  : a["type"] == "VEC2" ? 2
                                  : a["type"] == "VEC3" ? 3
                                                        : 4;
        const int type = a["componentType"];
        const std::size_t size = type == 5126 ? 4 : type == 5123 ? 2 : 1;
        const std::size_t start =
            view["byteOffset"].get<std::size_t>() + a.value("byteOffset", std::size_t{0});
        if (width > 1) {
            EXPECT_EQ(start % 4, 0u);  // vertex attributes are 4-byte aligned
        }
        EXPECT_LE(start + a["count"].get<std::size_t>() * width * size,
                  view["byteOffset"].get<std::size_t>() + view["byteLength"].get<std::size_t>());
        std::vector<std::vector<double>> out(a["count"].get<std::size_t>(),
                                             std::vector<double>(width));
        for (std::size_t i = 0; i < out.size(); ++i) {
            for (std::size_t k = 0; k < width; ++k) {
                const std::size_t at = start + (i * width + k) * size;
                std::uint32_t raw = size == 4 ? Word(bin, at) : static_cast<unsigned char>(bin[at]);
                if (size == 2)
                    raw |= static_cast<std::uint32_t>(static_cast<unsigned char>(bin[at + 1])) << 8;
                float f = 0.0f;
                std::memcpy(&f, &raw, 4);
                out[i][k] = type == 5126 ? static_cast<double>(f) : static_cast<double>(raw);
            }
        }
        if (a.contains("min")) {  // exactly the data's bounds
            for (std::size_t k = 0; k < width; ++k) {
                double low = out.at(0)[k], high = low;
                for (const auto& e : out) low = std::min(low, e[k]), high = std::max(high, e[k]);
                EXPECT_EQ(a["min"][k].get<double>(), low);
                EXPECT_EQ(a["max"][k].get<double>(), high);
            }
        }
        return out;
    }

    // The triangles of every primitive, as glTF positions; all indices in range.
    std::vector<std::array<V3, 3>> Triangles() const {
        std::vector<std::array<V3, 3>> out;
        if (!json.contains("meshes")) return out;
        for (const Json& p : json["meshes"][0]["primitives"]) {
            const auto positions = Read(p["attributes"]["POSITION"]);
            EXPECT_EQ(Read(p["attributes"]["COLOR_0"]).size(), positions.size());
            EXPECT_EQ(Read(p["attributes"]["TEXCOORD_0"]).size(), positions.size());
            const auto indices = Read(p["indices"]);
            EXPECT_EQ(indices.size() % 3, 0u);
            for (std::size_t t = 0; t + 2 < indices.size(); t += 3) {
                std::array<V3, 3> tri;
                for (std::size_t k = 0; k < 3; ++k) {
                    const auto i = static_cast<std::size_t>(indices[t + k][0]);
                    EXPECT_LT(i, positions.size());
                    tri[k] = {positions.at(i)[0], positions.at(i)[1], positions.at(i)[2]};
                }
                out.push_back(tri);
            }
        }
        return out;
    }
};

std::string GltfBytes(const KonModell& model, GltfForm form) {
    std::ostringstream out;
    WriteGltf(model, out, form);
    return out.str();
}

V3 Cross(const V3& a, const V3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
V3 Minus(const V3& a, const V3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
double Dot(const V3& a, const V3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

KonModell OnePolygon(const std::vector<std::array<std::int32_t, 3>>& points,
                     std::vector<std::int16_t> corners) {
    KonModell model;
    for (const auto& p : points) {
        model.Punkte.emplace_back();
        std::tie(model.Punkte.back().X, model.Punkte.back().Y, model.Punkte.back().Z) =
            std::tuple(p[0], p[1], p[2]);
    }
    model.Flaechenliste.emplace_back();
    for (const std::int16_t c : corners) AppendEcke(model.Flaechenliste.back(), c);
    return model;
}

TEST(GltfTest, TriangulatesWithAreaAndOrientationOfThePolygon) {
    const std::vector<std::array<std::int32_t, 3>> l = {
        {0, 0, 0}, {2000, 0, 0}, {2000, 1000, 0}, {1000, 1000, 0}, {1000, 2000, 0}, {0, 2000, 0}};
    const std::vector<std::array<std::int32_t, 3>> dart = {
        {0, 0, 0}, {2000, 1000, 0}, {4000, 0, 0}, {2000, 4000, 0}};
    const std::vector<std::array<std::int32_t, 3>> wall = {
        {0, 0, 0}, {0, 0, 3000}, {1000, 0, 1000}, {2000, 0, 3000}, {2000, 0, 0}};
    const struct {
        const char* name;
        std::vector<std::array<std::int32_t, 3>> points;
        std::vector<std::int16_t> corners;
        std::size_t triangles;
        double area;   // square metres
        V3 konNormal;  // the polygon's side, in Kon axes
    } cases[] = {
        {"triangle", l, {0, 1, 2}, 1, 1.0, {0, 0, 1}},
        {"convex square as a fan", l, {0, 1, 2, 5}, 2, 3.0, {0, 0, 1}},
        {"concave L", l, {0, 1, 2, 3, 4, 5}, 4, 3.0, {0, 0, 1}},
        {"concave L clockwise", l, {5, 4, 3, 2, 1, 0}, 4, 3.0, {0, 0, -1}},
        {"dart whose fan would leave it", dart, {0, 1, 2, 3}, 2, 6.0, {0, 0, 1}},
        {"concave upright wall", wall, {0, 1, 2, 3, 4}, 3, 4.0, {0, 1, 0}},
        {"all on one line", l, {0, 1, 1}, 0, 0.0, {0, 0, 1}},
        {"corner beyond the points", l, {0, 1, 99}, 0, 0.0, {0, 0, 1}},
        {"negative corner", l, {0, -1, 2}, 0, 0.0, {0, 0, 1}},
        {"two corners", l, {0, 1}, 0, 0.0, {0, 0, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Glb glb(GltfBytes(OnePolygon(c.points, c.corners), GltfForm::kBinary));
        const auto triangles = glb.Triangles();
        EXPECT_EQ(triangles.size(), c.triangles);
        const V3 normal = {c.konNormal[0], c.konNormal[2], -c.konNormal[1]};
        double area = 0.0;
        for (const auto& t : triangles) {
            const V3 n = Cross(Minus(t[1], t[0]), Minus(t[2], t[0]));
            EXPECT_GT(Dot(n, normal), 0.0);
            area += std::sqrt(Dot(n, n)) / 2;
        }
        EXPECT_NEAR(area, c.area, 1e-9);
    }
}

TEST(GltfTest, HausHasItsPointsColoursPrimitivesLinesAndInstance) {
    const KonModell haus = test::HausModell();
    const Glb glb(GltfBytes(haus, GltfForm::kBinary));
    const Json& j = glb.json;
    EXPECT_EQ(j["asset"]["version"], "2.0");
    ASSERT_EQ(glb.Triangles().size(), 2u);
    // Millimetres with Z up to metres with Y up: (x, y, z) -> (x, z, -y).
    const Json& prims = j["meshes"][0]["primitives"];
    const auto positions = glb.Read(prims[0]["attributes"]["POSITION"]);
    EXPECT_EQ(positions,
              (std::vector<std::vector<double>>{{0, 0, 0}, {1, -0.25, 0}, {0, 0, -1}, {1, 0, -1}}));
    EXPECT_EQ(glb.Read(prims[0]["attributes"]["COLOR_0"])[1],
              (std::vector<double>{255, 0, 0, 255}));
    EXPECT_EQ(glb.Read(prims[0]["attributes"]["TEXCOORD_0"])[1], (std::vector<double>{1.5, 0.25}));
    ASSERT_EQ(prims.size(), 2u);  // by the TexId of each polygon's first corner
    EXPECT_EQ(j["materials"][prims[0]["material"].get<std::size_t>()]["name"], "TexId 0");
    EXPECT_EQ(j["materials"][prims[1]["material"].get<std::size_t>()]["name"], "TexId 3");
    EXPECT_EQ(glb.Read(prims[1]["indices"]), (std::vector<std::vector<double>>{{1}, {3}, {2}}));

    const Json& plan = j["meshes"][1]["primitives"];
    const std::size_t counts[] = {haus.Linien.size(), haus.StrichLinien.size(),
                                  haus.MassLinien.size()};
    ASSERT_EQ(plan.size(), 3u);
    for (std::size_t k = 0; k < 3; ++k) {
        EXPECT_EQ(plan[k]["mode"], 1);
        EXPECT_EQ(glb.Read(plan[k]["attributes"]["POSITION"]).size(), 2 * counts[k]);
    }
    EXPECT_EQ(j["nodes"][2]["name"], "Instanz 1");
    EXPECT_EQ(j["nodes"][2]["translation"], (std::vector<double>{0.5, -0.02, -0.0}));
    EXPECT_EQ(j["scenes"][0]["nodes"].size(), 3u);

    // The JSON form carries the same document and bytes in a data URI.
    Json text = Json::parse(GltfBytes(haus, GltfForm::kJson));
    const std::string uri = text["buffers"][0]["uri"];
    text["buffers"][0].erase("uri");
    EXPECT_EQ(text, j);
    std::string decoded;
    std::uint32_t bits = 0, held = 0;
    for (const char ch : uri.substr(uri.find(',') + 1)) {
        const char* at =
            std::strchr("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", ch);
        if (ch == '=' || at == nullptr) break;
        bits = bits << 6 |
               static_cast<std::uint32_t>(
                   at - "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
        if ((held += 6) >= 8) decoded += static_cast<char>(bits >> (held -= 8) & 0xFF);
    }
    EXPECT_EQ(decoded, glb.bin.substr(0, j["buffers"][0]["byteLength"].get<std::size_t>()));
}

TEST(GltfTest, InstanceRotationIsKonXThenYThenZSeenFromGltf) {
    const double pi = std::acos(-1.0);
    const struct {
        double rx, ry, rz;
    } cases[] = {{90, 0, 0}, {0, 90, 0}, {0, 0, 90}, {30, -45, 120}, {-170, 20, 725}};
    for (const auto& c : cases) {
        KonModell model;
        model.Instanzen = {CObFormat{1000, 2000, 3000, c.rx, c.ry, c.rz, 2.0f, 3.0f, 4.0f}};
        const Json node = Json::parse(GltfBytes(model, GltfForm::kJson))["nodes"][0];
        const V3 t = node["translation"], s = node["scale"];
        const std::array<double, 4> q = node["rotation"];
        // Kon: w = T + Rz Ry Rx S v, by plain matrices; expected in glTF axes.
        const V3 v = {0.3, -1.7, 2.9};
        V3 w = {v[0] * 2, v[1] * 3, v[2] * 4};
        for (const auto& [axis, deg] : {std::pair{0, c.rx}, {1, c.ry}, {2, c.rz}}) {
            const double a = deg * pi / 180, cs = std::cos(a), sn = std::sin(a);
            const auto i = static_cast<std::size_t>((axis + 1) % 3),
                       k = static_cast<std::size_t>((axis + 2) % 3);
            const double wi = cs * w[i] - sn * w[k], wk = sn * w[i] + cs * w[k];
            w[i] = wi, w[k] = wk;
        }
        w = {w[0] + 1000, w[1] + 2000, w[2] + 3000};
        // glTF: T' + q (S' v') q*, with v' = v in glTF axes, all in metres.
        const V3 g = {s[0] * v[0] / 1000, s[1] * v[2] / 1000, s[2] * -v[1] / 1000};
        const V3 u = {q[0], q[1], q[2]};
        const V3 uv = Cross(u, g), uuv = Cross(u, uv);
        const V3 r = {g[0] + 2 * (q[3] * uv[0] + uuv[0]), g[1] + 2 * (q[3] * uv[1] + uuv[1]),
                      g[2] + 2 * (q[3] * uv[2] + uuv[2])};
        EXPECT_NEAR(r[0] + t[0], w[0] / 1000, 1e-8);   // rotation held as 32-bit floats
        EXPECT_NEAR(r[1] + t[1], w[2] / 1000, 1e-8);   // rotation held as 32-bit floats
        EXPECT_NEAR(r[2] + t[2], -w[1] / 1000, 1e-8);  // rotation held as 32-bit floats
    }
}

TEST(GltfTest, EmptyModelAndNonFiniteInstanceStillMakeValidFiles) {
    KonModell model;
    const Glb empty(GltfBytes(model, GltfForm::kBinary));
    EXPECT_FALSE(empty.json.contains("buffers"));
    EXPECT_FALSE(empty.json.contains("meshes"));
    EXPECT_EQ(empty.json["scenes"].size(), 1u);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    model.Instanzen = {
        CObFormat{0, 0, 0, nan, 0.0, 0.0, 1.0f, std::numeric_limits<float>::infinity(), 1.0f}};
    const Json node = Json::parse(GltfBytes(model, GltfForm::kJson))["nodes"][0];
    EXPECT_EQ(node["rotation"], (std::vector<double>{0, 0, 0, 1}));
    EXPECT_EQ(node["scale"], (std::vector<double>{1, 1, 1}));
}

std::string Svg(const KonModell& model, bool fill = true) {
    std::ostringstream out;
    WriteSvgPlan(model, out, SvgOptions{fill});
    return out.str();
}

// Well-formed enough for any XML reader: quoted attributes, tags that nest.
bool WellFormed(const std::string& svg) {
    std::vector<std::string> open;
    for (std::size_t at = svg.find('<'); at != std::string::npos; at = svg.find('<', at + 1)) {
        const std::size_t end = svg.find('>', at);
        if (end == std::string::npos) return false;
        const std::string tag = svg.substr(at + 1, end - at - 1);
        if (std::count(tag.begin(), tag.end(), '"') % 2 != 0 || tag.find('<') != std::string::npos)
            return false;
        const std::string name =
            tag.substr(tag[0] == '/', tag.find_first_of(" />", 1) - (tag[0] == '/'));
        if (tag[0] == '?' || tag.back() == '/') continue;
        if (tag[0] != '/')
            open.push_back(name);
        else if (open.empty() || open.back() != name)
            return false;
        else
            open.pop_back();
    }
    return open.empty() && svg.rfind("</svg>") != std::string::npos;
}

TEST(SvgPlanTest, DrawsThePlanYUpwardWithStylesFillsAndFigures) {
    KonModell haus = test::HausModell();
    haus.MassLinien.push_back(Linie{0, 0, 1000, 0, 5.0});
    haus.MassLinien.push_back(Linie{0, 0, 0, 0, 0.005});
    haus.MassLinien.push_back(Linie{0, 0, 0, 0, 1e20});
    haus.Flaechenliste.push_back(haus.Flaechenliste[0]);
    AppendEcke(haus.Flaechenliste.back(), 77);  // skipped, the rest drawn
    const std::string svg = Svg(haus);
    const struct {
        const char* text;
        bool present;
    } cases[] = {
        {"viewBox=\"0 0 1080 1080\"", true},  // 1000 units and margins
        {"<polygon points=\"40,1040 1040,1040 40,40\" fill=\"#aa5555\"/>",
         true},  // y = 0 at the bottom
        {"stroke-dasharray=\"6 4\">\n<path d=\"M1040,1040L40,40\"/>\n</g>", true},
        {"<path d=\"M40,1040L1040,1040\"/>", true},
        {">1414.21</text>", true},
        {">5</text>", true},
        {">0.01</text>", true},
        {">1e+20</text>", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(svg.find(c.text) != std::string::npos, c.present) << c.text;
    // Lines, dashed line, then dimension lines with a tick at each end of a long one.
    EXPECT_EQ(std::count(svg.begin(), svg.end(), 'M'), 4 + 1 + (3 + 3 + 1 + 1));
    EXPECT_TRUE(WellFormed(svg));
    const std::string first = "<polygon points=\"40,1040 1040,1040 40,40\"";
    EXPECT_NE(svg.find(first, svg.find(first) + 1), std::string::npos);  // again, without corner 77

    const std::string lines = Svg(haus, false);
    EXPECT_EQ(lines.find("<polygon"), std::string::npos);
    EXPECT_TRUE(WellFormed(lines));
}

TEST(SvgPlanTest, PageSizeAndPensDoNotDependOnTheModelsSize) {
    for (const std::int32_t size : {1, 1000, 2000000000}) {
        KonModell model;
        model.Linien = {Linie{-size, 0, size, size, 0.0}};
        const std::string svg = Svg(model);
        EXPECT_NE(svg.find("viewBox=\"0 0 1080 580\""), std::string::npos) << size;
        EXPECT_NE(svg.find("stroke-width=\"1.5\""), std::string::npos);
    }
    const std::string empty = Svg(KonModell{});
    EXPECT_NE(empty.find("viewBox=\"0 0 100 100\""), std::string::npos);
    EXPECT_TRUE(WellFormed(empty));
}

}  // namespace
}  // namespace kon
