// The assimp bridge where files cannot stage it: the mapping of hand-built
// scenes (placements, primitives, materials, unplaced meshes) and the
// exports' warnings. Round trips and refusals are golden rows.

#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numbers>
#include <optional>
#include <sstream>

#include "bridge/assimp_bridge.h"

namespace kon::bridge {
namespace {

std::string Joined(const std::vector<std::string>& warnings) {
    std::string joined;
    for (const std::string& w : warnings) joined += (joined.empty() ? "" : " | ") + w;
    return joined;
}

struct MeshParts {
    std::vector<aiVector3D> vertices;
    std::vector<std::vector<unsigned>> faces;
    std::vector<aiColor4D> colours;
    unsigned material = 0;
};

template <typename T>
T* Copy(const std::vector<T>& v) {
    if (v.empty()) return nullptr;
    T* a = new T[v.size()];
    std::copy(v.begin(), v.end(), a);
    return a;
}

aiMesh* NewMesh(const MeshParts& parts) {
    auto* mesh = new aiMesh();
    mesh->mNumVertices = static_cast<unsigned>(parts.vertices.size());
    mesh->mVertices = Copy(parts.vertices);
    mesh->mColors[0] = Copy(parts.colours);
    mesh->mNumFaces = static_cast<unsigned>(parts.faces.size());
    mesh->mFaces = new aiFace[parts.faces.size()];
    for (std::size_t i = 0; i < parts.faces.size(); ++i) {
        mesh->mFaces[i].mNumIndices = static_cast<unsigned>(parts.faces[i].size());
        mesh->mFaces[i].mIndices = Copy(parts.faces[i]);
    }
    mesh->mMaterialIndex = parts.material;
    return mesh;
}

struct NodeSpec {
    aiMatrix4x4 transform;
    std::vector<unsigned> meshes;
};

struct MaterialSpec {
    std::string name;
    std::optional<aiColor3D> diffuse;
};

// A root with the given meshes and one child per NodeSpec.
std::unique_ptr<aiScene> Scene(const std::vector<MeshParts>& meshes,
                               const std::vector<NodeSpec>& children,
                               const std::vector<unsigned>& rootMeshes = {},
                               const std::vector<MaterialSpec>& materials = {}) {
    auto scene = std::make_unique<aiScene>();
    scene->mNumMeshes = static_cast<unsigned>(meshes.size());
    scene->mMeshes = new aiMesh*[meshes.size()];
    for (std::size_t i = 0; i < meshes.size(); ++i) scene->mMeshes[i] = NewMesh(meshes[i]);
    scene->mNumMaterials = static_cast<unsigned>(materials.size());
    scene->mMaterials = materials.empty() ? nullptr : new aiMaterial*[materials.size()];
    for (std::size_t i = 0; i < materials.size(); ++i) {
        auto* material = new aiMaterial();
        const aiString name(materials[i].name);
        material->AddProperty(&name, AI_MATKEY_NAME);
        if (materials[i].diffuse) {
            material->AddProperty(&*materials[i].diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
        }
        scene->mMaterials[i] = material;
    }
    scene->mRootNode = new aiNode("root");
    scene->mRootNode->mNumMeshes = static_cast<unsigned>(rootMeshes.size());
    scene->mRootNode->mMeshes = Copy(rootMeshes);
    std::vector<aiNode*> nodes;
    for (const NodeSpec& c : children) {
        auto* node = new aiNode("child");
        node->mTransformation = c.transform;
        node->mNumMeshes = static_cast<unsigned>(c.meshes.size());
        node->mMeshes = Copy(c.meshes);
        nodes.push_back(node);
    }
    if (!nodes.empty())
        scene->mRootNode->addChildren(static_cast<unsigned>(nodes.size()), nodes.data());
    return scene;
}

const MeshParts kQuad{{{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}}, {{0, 1, 2, 3}}, {}, 0};

aiMatrix4x4 Translate(float x, float y, float z) {
    aiMatrix4x4 m;
    return aiMatrix4x4::Translation({x, y, z}, m);
}

// The points, sorted, as one line of text.
std::string Points(const KonModell& m) {
    std::vector<std::string> items;
    for (const CObPunkt& p : m.Punkte) {
        items.push_back(std::to_string(p.X) + "," + std::to_string(p.Y) + "," +
                        std::to_string(p.Z) + " " + std::to_string(p.R) + "/" +
                        std::to_string(p.G) + "/" + std::to_string(p.B) + " t" +
                        std::to_string(p.TexId));
    }
    std::sort(items.begin(), items.end());
    std::string text;
    for (const std::string& s : items) text += (text.empty() ? "" : "; ") + s;
    return text;
}

TEST(BridgeMapping, HandBuiltScenes) {
    aiMatrix4x4 turnAndGrow;  // 90 degrees about Z, doubled, moved by (10, 0, 0)
    aiMatrix4x4::RotationZ(static_cast<float>(std::numbers::pi / 2), turnAndGrow);
    turnAndGrow = Translate(10, 0, 0) * turnAndGrow * aiMatrix4x4(aiVector3D(2, 2, 2), {}, {});
    const MeshParts primitives{{{0, 0, 0}, {5, 0, 0}, {5, 5, 0}, {0, 5, 0}},
                               {{0}, {0, 1}, {1, 2}, {0, 1, 2}, {0, 2, 3}, {}},
                               {},
                               0};
    MeshParts coloured = kQuad;
    coloured.colours = {{1, 0, 0, 1}, {0, 1, 0, 1}, {0, 0, 1, 1}, {0.5f, 0.5f, 0.5f, 1}};
    const MeshParts rounding{{{0, 0, 0}, {0.2f, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0.4f, 0, 0}},
                             {{0, 2, 3}, {4, 2, 3}, {0, 1, 2}},
                             {},
                             0};
    struct Row {
        const char* name;
        std::unique_ptr<aiScene> scene;
        double scale;
        Axes axes;
        std::string points;    // as Points() writes them
        std::string warnings;  // joined with " | "
    };
    Row rows[] = {
        {"the root's mesh and a child's transformed copy",
         Scene({kQuad}, {{turnAndGrow, {0}}}, {0}), 1, Axes::kAsStored,
         "0,0,0 0/0/0 t0; 0,1,0 0/0/0 t0; 1,0,0 0/0/0 t0; 1,1,0 0/0/0 t0; 10,0,0 0/0/0 t0; "
         "10,2,0 0/0/0 t0; 8,0,0 0/0/0 t0; 8,2,0 0/0/0 t0",
         ""},
        {"nested placement with scale", Scene({kQuad}, {{Translate(0, 0, 7), {0}}}), 1000,
         Axes::kAsStored,
         "0,0,7000 0/0/0 t0; 0,1000,7000 0/0/0 t0; 1000,0,7000 0/0/0 t0; "
         "1000,1000,7000 0/0/0 t0",
         ""},
        {"Y up becomes Z up", Scene({kQuad}, {{Translate(0, 0, 3), {0}}}), 1, Axes::kYUpToZUp,
         "0,-3,0 0/0/0 t0; 0,-3,1 0/0/0 t0; 1,-3,0 0/0/0 t0; 1,-3,1 0/0/0 t0", ""},
        {"points and lines left out and counted", Scene({primitives}, {}, {0}), 1, Axes::kAsStored,
         "0,0,0 0/0/0 t0; 0,5,0 0/0/0 t0; 5,0,0 0/0/0 t0; 5,5,0 0/0/0 t0",
         "left out 1 point primitive and 2 line primitives; only polygons are imported"},
        {"vertex colours, else the material's diffuse colour",
         Scene({coloured, kQuad}, {{Translate(0, 0, 1), {1}}}, {0},
               {{"TexId 7", aiColor3D(0.5f, 0.25f, 1)}}),
         1, Axes::kAsStored,
         "0,0,0 255/0/0 t7; 0,0,1 128/64/255 t7; 0,1,0 128/128/128 t7; "
         "0,1,1 128/64/255 t7; 1,0,0 0/255/0 t7; 1,0,1 128/64/255 t7; 1,1,0 0/0/255 t7; "
         "1,1,1 128/64/255 t7",
         ""},
        {"the material index as TexId",
         Scene({{kQuad.vertices, kQuad.faces, {}, 1}}, {}, {0}, {{"a", {}}, {"b", {}}}), 1,
         Axes::kAsStored, "0,0,0 0/0/0 t1; 0,1,0 0/0/0 t1; 1,0,0 0/0/0 t1; 1,1,0 0/0/0 t1", ""},
        {"rounding joins and collapses", Scene({rounding}, {}, {0}), 1, Axes::kAsStored,
         "0,0,0 0/0/0 t0; 4,0,0 0/0/0 t0; 4,4,0 0/0/0 t0",
         "left out 1 polygon that rounding to whole Kon units left with fewer than three "
         "corners; a larger scale keeps them | rounding to whole Kon units joined 1 distinct "
         "source vertex with others; a larger scale keeps them apart"},
        {"a mesh no node places", Scene({kQuad, kQuad}, {}, {1}), 1, Axes::kAsStored,
         "0,0,0 0/0/0 t0; 0,1,0 0/0/0 t0; 1,0,0 0/0/0 t0; 1,1,0 0/0/0 t0",
         "left out 1 mesh that no node places"},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        KonModell model;
        const BridgeResult result = MapScene(*row.scene, row.scale, model, row.axes);
        ASSERT_TRUE(result.ok()) << result.error;
        EXPECT_EQ(Points(model), row.points);
        EXPECT_EQ(Joined(result.warnings), row.warnings);
        // and its plan lines derived
        EXPECT_FALSE(model.Linien.empty() && model.StrichLinien.empty());
    }
    // What no file reader passes on: a face beyond its mesh, no scale.
    MeshParts badIndex = kQuad;
    badIndex.faces = {{0, 1, 9}};
    KonModell model;
    EXPECT_EQ(MapScene(*Scene({badIndex}, {}, {0}), 1, model).error,
              "mesh 0: a face names vertex 9 of 4");
    EXPECT_EQ(MapScene(*Scene({kQuad}, {}, {0}), 0, model).error,
              "the scale must be a positive number, not 0.000000");
    EXPECT_TRUE(model.Punkte.empty());
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
