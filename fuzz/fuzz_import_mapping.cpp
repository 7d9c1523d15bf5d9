// The import mapping on scenes built from fuzz bytes: meshes with faces of
// any size (indices out of range among them), colours, texture coordinates,
// materials and a node tree with transforms. assimp's own parsers are not
// fuzzed here. A mapped model must keep the limits, name only its own
// points and load again from both Kon forms.

#include <assimp/scene.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <memory>

#include "archive/kon_archive.h"
#include "bridge/assimp_bridge.h"
#include "harness.h"

namespace {

float Real(FuzzedDataProvider& in) {
    // Mostly small values that round onto each other; now and then any float.
    if (in.ConsumeIntegralInRange(0, 7) == 0) return in.ConsumeFloatingPoint<float>();
    return static_cast<float>(in.ConsumeIntegralInRange(-64, 64)) / 4.0f;
}

aiMesh* Mesh(FuzzedDataProvider& in) {
    auto* mesh = new aiMesh();
    const unsigned vertices = in.ConsumeIntegralInRange(0u, 48u);
    mesh->mNumVertices = vertices;
    mesh->mVertices = vertices == 0 ? nullptr : new aiVector3D[vertices];
    if (in.ConsumeBool() && vertices != 0) mesh->mColors[0] = new aiColor4D[vertices];
    if (in.ConsumeBool() && vertices != 0) mesh->mTextureCoords[0] = new aiVector3D[vertices];
    for (unsigned i = 0; i < vertices; ++i) {
        mesh->mVertices[i] = aiVector3D(Real(in), Real(in), Real(in));
        if (mesh->mColors[0]) mesh->mColors[0][i] = aiColor4D(Real(in), Real(in), Real(in), 1);
        if (mesh->mTextureCoords[0]) mesh->mTextureCoords[0][i] = aiVector3D(Real(in), Real(in), 0);
    }
    const unsigned faces = in.ConsumeIntegralInRange(0u, 48u);
    mesh->mNumFaces = faces;
    mesh->mFaces = faces == 0 ? nullptr : new aiFace[faces];
    for (unsigned f = 0; f < faces; ++f) {
        const unsigned n = in.ConsumeIntegralInRange(0u, 9u);
        mesh->mFaces[f].mNumIndices = n;
        mesh->mFaces[f].mIndices = n == 0 ? nullptr : new unsigned[n];
        for (unsigned j = 0; j < n; ++j) {
            mesh->mFaces[f].mIndices[j] = in.ConsumeIntegralInRange(0u, vertices + 1);
        }
    }
    mesh->mMaterialIndex = in.ConsumeIntegralInRange(0u, 3u);
    return mesh;
}

std::unique_ptr<aiScene> Scene(FuzzedDataProvider& in) {
    auto scene = std::make_unique<aiScene>();
    const unsigned meshes = in.ConsumeIntegralInRange(0u, 4u);
    scene->mNumMeshes = meshes;
    scene->mMeshes = meshes == 0 ? nullptr : new aiMesh*[meshes];
    for (unsigned i = 0; i < meshes; ++i) scene->mMeshes[i] = Mesh(in);
    const unsigned materials = in.ConsumeIntegralInRange(0u, 3u);
    scene->mNumMaterials = materials;
    scene->mMaterials = materials == 0 ? nullptr : new aiMaterial*[materials];
    for (unsigned i = 0; i < materials; ++i) {
        auto* material = new aiMaterial();
        const aiString name(in.ConsumeBool() ? "TexId " + std::to_string(in.ConsumeIntegral<int>())
                                             : in.ConsumeRandomLengthString(12));
        material->AddProperty(&name, AI_MATKEY_NAME);
        if (in.ConsumeBool()) {
            const aiColor3D diffuse(Real(in), Real(in), Real(in));
            material->AddProperty(&diffuse, 1, AI_MATKEY_COLOR_DIFFUSE);
        }
        scene->mMaterials[i] = material;
    }
    if (in.ConsumeIntegralInRange(0, 7) == 0) return scene;  // no nodes at all
    // Up to 12 nodes; each after the first hangs below an earlier one.
    std::vector<aiNode*> nodes;
    const unsigned count = in.ConsumeIntegralInRange(1u, 12u);
    for (unsigned i = 0; i < count; ++i) {
        auto* node = new aiNode("n" + std::to_string(i));
        const aiVector3D scaling(Real(in), Real(in), Real(in));
        const aiQuaternion rotation(aiVector3D(Real(in), Real(in), Real(in)), Real(in));
        node->mTransformation =
            aiMatrix4x4(scaling, rotation, aiVector3D(Real(in), Real(in), Real(in)));
        const unsigned placed = in.ConsumeIntegralInRange(0u, 3u);
        node->mNumMeshes = placed;
        node->mMeshes = placed == 0 ? nullptr : new unsigned[placed];
        for (unsigned j = 0; j < placed; ++j) {
            node->mMeshes[j] = in.ConsumeIntegralInRange(0u, meshes == 0 ? 0u : meshes - 1);
        }
        if (!nodes.empty()) {
            aiNode* parent = nodes[in.ConsumeIntegralInRange<std::size_t>(0, nodes.size() - 1)];
            parent->addChildren(1, &node);
        }
        nodes.push_back(node);
    }
    scene->mRootNode = nodes.front();
    return scene;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    constexpr double kScales[] = {1.0, 1000.0, 0.001, 1e-9, 1e12, 0.0};
    const double scale = kScales[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
    const auto axes =
        in.ConsumeBool() ? kon::bridge::Axes::kYUpToZUp : kon::bridge::Axes::kAsStored;
    const std::unique_ptr<aiScene> scene = Scene(in);
    kon::KonModell model;
    const kon::bridge::BridgeResult result = kon::bridge::MapScene(*scene, scale, model, axes);
    if (!result.ok()) {
        kon::fuzz::Require(model.Punkte.empty(), "a refusal leaves no model");
        return 0;
    }
    kon::fuzz::Require(model.Punkte.size() <= kon::bridge::kMaxPunkte &&
                           model.Flaechenliste.size() <= kon::bridge::kMaxFlaechen,
                       "a mapped model keeps the limits");
    for (const kon::Flaeche& f : model.Flaechenliste) {
        kon::fuzz::Require(f.Anzahl >= 3, "only polygons of three corners or more");
        for (std::size_t j = 0; j < static_cast<std::size_t>(f.Anzahl); ++j) {
            const std::int16_t e = kon::Ecke(f, j);
            kon::fuzz::Require(e >= 0 && static_cast<std::size_t>(e) < model.Punkte.size(),
                               "corners name the model's own points");
        }
    }
    kon::fuzz::Require(kon::fuzz::ReadsBack(model, false).empty(), "a mapped model loads again");
    if (!kon::CheckFitsKonArchive(model)) {
        kon::fuzz::Require(kon::fuzz::ReadsBack(model, true).empty(), "a mapped model loads again");
    }
    return 0;
}
