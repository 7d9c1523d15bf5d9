// The files a model names, which a golden row cannot name in its work
// folder, and broken scenes no importer hands over on purpose. The mapping of
// scenes, the exports' warnings, round trips and refusals are golden rows.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <assimp/material.h>
#include <assimp/scene.h>

#include "bridge/assimp_bridge.h"

namespace kon::bridge {
namespace {

std::string Joined(const std::vector<std::string>& warnings) {
    std::string joined;
    for (const std::string& w : warnings) joined += (joined.empty() ? "" : " | ") + w;
    return joined;
}

// A material library that is a FIFO would wait for a writer forever (the
// test's time limit tells), a device outside the folder would never end; one
// below the folder is read.
TEST(BridgeImport, ReadsOnlyRegularFilesInTheModelsFolder) {
    std::string dir = (std::filesystem::temp_directory_path() / "kon-bridge-XXXXXX").string();
    ASSERT_NE(mkdtemp(dir.data()), nullptr);
    std::filesystem::create_directory(dir + "/sub");
    std::ofstream(dir + "/sub/red.mtl") << "newmtl red\nKd 1 0 0\n";
    ASSERT_EQ(mkfifo((dir + "/fifo.mtl").c_str(), 0600), 0);
    const std::string zero = "../../../../../../../../../../dev/zero", obj = dir + "/chair.obj";
    std::ofstream(obj) << "mtllib fifo.mtl\nmtllib " << zero
                       << "\nmtllib sub/red.mtl\nusemtl red\nv 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n";
    KonModell model;
    const BridgeResult result = ImportWithAssimp(obj, {}, model);
    std::filesystem::remove_all(dir);
    ASSERT_TRUE(result.ok()) << result.error;
    const std::string refused = obj + ": the referenced file " + dir + "/",
                      why =
                          " is not read: only regular files in the model's folder or below it "
                          "are read";
    EXPECT_EQ(Joined(result.warnings), refused + "fifo.mtl" + why + " | " + refused + zero + why);
    ASSERT_EQ(model.Punkte.size(), 3u);
    EXPECT_EQ(model.Punkte[0].R, 255);
    EXPECT_EQ(model.Punkte[0].G, 0);
}

// Scenes as an importer may leave them: every broken part is refused with
// its reason (never followed; a null mesh or node is skipped), and the
// limits hold.
TEST(BridgeMapping, BrokenScenesAreRefusedWithTheirReason) {
    const auto triangle = [] {
        auto scene = std::make_unique<aiScene>();
        auto* mesh = new aiMesh();
        mesh->mNumVertices = 3;
        mesh->mVertices = new aiVector3D[3]{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
        mesh->mNumFaces = 1;
        mesh->mFaces = new aiFace[1];
        mesh->mFaces[0].mNumIndices = 3;
        mesh->mFaces[0].mIndices = new unsigned[3]{0, 1, 2};
        mesh->mMaterialIndex = 7;  // beyond the materials: the index is the TexId
        scene->mNumMeshes = 1;
        scene->mMeshes = new aiMesh* [1] { mesh };
        scene->mRootNode = new aiNode("root");
        scene->mRootNode->mNumMeshes = 1;
        scene->mRootNode->mMeshes = new unsigned[1]{0};
        return scene;
    };
    const auto chain = [](aiNode* top, std::size_t length) {
        for (std::size_t i = 0; i < length; ++i) {
            auto* child = new aiNode();
            child->mParent = top;
            top->mNumChildren = 1;
            top->mChildren = new aiNode* [1] { child };
            top = child;
        }
    };
    const struct {
        const char* name;
        std::function<void(aiScene&)> breakIt;
        std::string error;         // empty: mapped
        std::string warning = "";  // one of the warnings of a mapped scene
    } cases[] = {
        {"whole", [](aiScene&) {}, ""},
        {"nodes that place no mesh", [](aiScene& s) { s.mRootNode->mNumMeshes = 0; },
         "no polygons to import"},
        {"no root node: every mesh once, as stored",
         [](aiScene& s) {
             delete s.mRootNode;
             s.mRootNode = nullptr;
         },
         ""},
        {"a mesh that is not there", [](aiScene& s) { s.mRootNode->mMeshes[0] = 5; },
         "a node places mesh 5 of 1"},
        {"vertices missing",
         [](aiScene& s) {
             delete[] s.mMeshes[0]->mVertices;
             s.mMeshes[0]->mVertices = nullptr;
         },
         "mesh 0 lacks its vertices or faces"},
        {"a face without indices",
         [](aiScene& s) {
             delete[] s.mMeshes[0]->mFaces[0].mIndices;
             s.mMeshes[0]->mFaces[0].mIndices = nullptr;
         },
         "mesh 0: a face without indices"},
        {"children missing", [](aiScene& s) { s.mRootNode->mNumChildren = 2; },
         "a node lacks its meshes or children"},
        {"a tree 1024 levels deep", [&](aiScene& s) { chain(s.mRootNode, 1024); }, ""},
        {"a tree 1025 levels deep", [&](aiScene& s) { chain(s.mRootNode, 1025); },
         "the node tree is deeper than 1024 levels"},
        {"more work than any model needs",
         // Refused on the count, before a vertex is read.
         [](aiScene& s) { s.mMeshes[0]->mNumVertices = 1u << 27; },
         "the scene's nodes place more than 134217728 vertices and corners; refused"},
        {"a null mesh", [](aiScene& s) { s.mMeshes[0] = nullptr; }, "no polygons to import"},
        {"a mesh no node places",
         [](aiScene& s) {
             aiMesh* const placed = s.mMeshes[0];
             delete[] s.mMeshes;
             s.mMeshes = new aiMesh* [2] { placed, new aiMesh() };
             s.mNumMeshes = 2;
         },
         "", "left out 1 mesh that no node places"},
        {"a material index beyond the materials is the TexId",
         [](aiScene& s) {
             s.mNumMaterials = 1;
             s.mMaterials = new aiMaterial* [1] { new aiMaterial() };
         },
         ""},
    };
    for (const auto& c : cases) {
        std::unique_ptr<aiScene> scene = triangle();
        aiMesh* const mesh = scene->mMeshes[0];
        const unsigned vertices = mesh->mNumVertices;
        c.breakIt(*scene);
        KonModell model;
        const BridgeResult result = MapScene(*scene, 1000.0, model);
        EXPECT_EQ(result.error, c.error) << c.name;
        if (!c.warning.empty()) {
            EXPECT_NE(std::find(result.warnings.begin(), result.warnings.end(), c.warning),
                      result.warnings.end())
                << c.name;
        }
        // A refused scene leaves the model empty.
        EXPECT_EQ(model.Punkte.size(), c.error.empty() ? 3u : 0u) << c.name;
        if (c.error.empty() && model.Punkte.size() == 3) {
            EXPECT_EQ(model.Punkte[1].X, 1000) << c.name;
            EXPECT_EQ(model.Punkte[1].TexId, 7) << c.name;
        }
        if (scene->mNumMeshes == 1 && scene->mMeshes[0] == nullptr) scene->mMeshes[0] = mesh;
        mesh->mNumVertices = vertices;
        if (scene->mRootNode != nullptr && scene->mRootNode->mChildren == nullptr) {
            scene->mRootNode->mNumChildren = 0;
        }
    }
    KonModell model;
    EXPECT_EQ(MapScene(*triangle(), 0.0, model).error,
              "the scale must be a positive number, not 0.000000");
    EXPECT_EQ(MapScene(*triangle(), HUGE_VAL, model).error,
              "the scale must be a positive number, not inf");
    std::ostringstream out;
    EXPECT_EQ(ExportWithAssimp(model, "glb", out).error, "assimp offers no export format \"glb\"");
}

}  // namespace
}  // namespace kon::bridge
