// Writing a Kon model in a format of assimp's exporters: one mesh per TexId,
// per-vertex colours and texture coordinates, instance placements as empty
// nodes where the format keeps nodes.

#include <assimp/postprocess.h>
#include <assimp/scene.h>
#include <assimp/Exporter.hpp>

#include <algorithm>
#include <cmath>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <numbers>
#include <ostream>
#include <random>
#include <string>
#include <vector>

#include "bridge/assimp_bridge.h"

namespace kon::bridge {

namespace {

struct ExportRecipe {
    const char* id;
    const char* extension;
    const char* assimpId;
    bool colours;
    bool texcoords;
    bool nodes;
    // assimp's 3MF writer opens its zip file by name, past the exporter's
    // I/O system: it must be given a real file, and a node below the root
    // for every mesh it is to write; it writes the first three corners of a
    // face only and numbers with six significant digits.
    bool throughFile;
    // Collada states its unit and up axis: millimetres, Z up, which assimp's
    // writer takes from a root transform of that scale and turn.
    bool unitAndAxis = false;
};

// The formats whose exports were checked by reading them back. OBJ without
// its material file: the front end writes one output. Not binary PLY: assimp
// 5.2 declares its colours as bytes and writes floats. FBX as text: the
// binary FBX of assimp 5.2 written to memory does not read back; the text
// form rounds texture coordinates to about seven digits; DirectX X reads
// them back a unit in the last place off.
constexpr ExportRecipe kRecipes[] = {
    {"obj", "obj", "objnomtl", true, true, false, false},
    {"ply", "ply", "ply", true, true, false, false},
    {"stl", "stl", "stl", false, false, false, false},
    {"stlb", "stl", "stlb", false, false, false, false},
    {"dae", "dae", "collada", true, true, true, false, true},
    {"3mf", "3mf", "3mf", false, false, false, true},
    {"fbx", "fbx", "fbxa", true, false, true, false},
    {"x", "x", "x", true, false, true, false},
};

// Exact single-precision whole numbers end here; 3MF's six digits earlier.
constexpr std::int64_t kFloatExact = std::int64_t{1} << 24;
constexpr std::int64_t kSixDigits = 999999;

const ExportRecipe* FindRecipe(std::string_view id) {
    for (const ExportRecipe& s : kRecipes) {
        if (id == s.id) return &s;
    }
    return nullptr;
}

const aiExportFormatDesc* AssimpFormat(const Assimp::Exporter& exporter, std::string_view id) {
    for (std::size_t i = 0; i < exporter.GetExportFormatCount(); ++i) {
        const aiExportFormatDesc* d = exporter.GetExportFormatDescription(i);
        if (d != nullptr && id == d->id) return d;
    }
    return nullptr;
}

template <typename T>
T* NewArray(std::size_t n) {
    return n == 0 ? nullptr : new T[n];
}

bool ValidPolygon(const Flaeche& f, std::size_t points) {
    if (f.Anzahl < 3) return false;
    for (std::size_t j = 0; j < static_cast<std::size_t>(f.Anzahl); ++j) {
        const std::int16_t e = Ecke(f, j);
        if (e < 0 || static_cast<std::size_t>(e) >= points) return false;
    }
    return true;
}

// The rotation about X, then Y, then Z (degrees), the scale first and the
// move last, as one node transform.
aiMatrix4x4 Placement(const CObFormat& f) {
    const auto radians = [](double deg) {
        return static_cast<ai_real>(deg * std::numbers::pi / 180.0);
    };
    aiMatrix4x4 t, rx, ry, rz, s;
    aiMatrix4x4::Translation(
        aiVector3D(static_cast<ai_real>(f.MoveX), static_cast<ai_real>(f.MoveY),
                   static_cast<ai_real>(f.MoveZ)),
        t);
    aiMatrix4x4::RotationX(radians(f.RotX), rx);
    aiMatrix4x4::RotationY(radians(f.RotY), ry);
    aiMatrix4x4::RotationZ(radians(f.RotZ), rz);
    aiMatrix4x4::Scaling(aiVector3D(f.ScalX, f.ScalY, f.ScalZ), s);
    return t * rz * ry * rx * s;
}

struct Built {
    std::unique_ptr<aiScene> scene;
    std::uint64_t skippedSmall = 0, skippedInvalid = 0, unusedPoints = 0, imprecise = 0;
    std::uint64_t supplements = 0, reserved = 0;  // of the points written
};

Built BuildScene(const KonModell& model, const ExportRecipe& recipe) {
    Built built;
    const std::size_t points = model.Punkte.size();
    // Polygons by the TexId of their first corner, in TexId order.
    std::map<std::int32_t, std::vector<const Flaeche*>> groups;
    std::vector<bool> used(points, false);
    for (const Flaeche& f : model.Flaechenliste) {
        if (f.Anzahl == 1 || f.Anzahl == 2) {
            ++built.skippedSmall;
        } else if (!ValidPolygon(f, points)) {
            ++built.skippedInvalid;
        } else {
            groups[model.Punkte[static_cast<std::size_t>(Ecke(f, 0))].TexId].push_back(&f);
            for (std::size_t j = 0; j < static_cast<std::size_t>(f.Anzahl); ++j) {
                used[static_cast<std::size_t>(Ecke(f, j))] = true;
            }
        }
    }
    const std::int64_t exact = recipe.throughFile ? kSixDigits : kFloatExact;
    for (std::size_t i = 0; i < points; ++i) {
        if (!used[i]) {
            ++built.unusedPoints;
            continue;
        }
        const CObPunkt& p = model.Punkte[i];
        built.supplements += p.Zusatz.size();
        if ((p.Res0 | p.Res1 | p.Res2 | p.Res3 | p.Res4) != 0) ++built.reserved;
        if (std::abs(std::int64_t{p.X}) > exact || std::abs(std::int64_t{p.Y}) > exact ||
            std::abs(std::int64_t{p.Z}) > exact) {
            ++built.imprecise;
        }
    }

    auto scene = std::make_unique<aiScene>();
    scene->mRootNode = new aiNode("Kon");
    const std::size_t meshes = groups.size();
    scene->mNumMeshes = static_cast<unsigned>(meshes);
    scene->mMeshes = NewArray<aiMesh*>(meshes);
    scene->mNumMaterials = static_cast<unsigned>(std::max<std::size_t>(meshes, 1));
    scene->mMaterials = new aiMaterial*[scene->mNumMaterials];
    scene->mMaterials[0] = nullptr;
    std::vector<std::int32_t> local(points, -1);
    std::size_t m = 0;
    for (const auto& [texId, polygons] : groups) {
        // The point's index within this mesh, in the order of first use.
        std::vector<std::size_t> vertices;
        for (const Flaeche* f : polygons) {
            for (std::size_t j = 0; j < static_cast<std::size_t>(f->Anzahl); ++j) {
                const auto e = static_cast<std::size_t>(Ecke(*f, j));
                if (local[e] < 0) {
                    local[e] = static_cast<std::int32_t>(vertices.size());
                    vertices.push_back(e);
                }
            }
        }
        auto* mesh = new aiMesh();
        scene->mMeshes[m] = mesh;
        mesh->mName = "TexId " + std::to_string(texId);
        mesh->mMaterialIndex = static_cast<unsigned>(m);
        // Only the kinds present: assimp's triangulation asserts when a mesh
        // claims polygons but holds triangles alone.
        const bool longer = std::any_of(polygons.begin(), polygons.end(),
                                        [](const Flaeche* f) { return f->Anzahl > 3; });
        mesh->mPrimitiveTypes =
            longer ? aiPrimitiveType_POLYGON | aiPrimitiveType_TRIANGLE : aiPrimitiveType_TRIANGLE;
        mesh->mNumVertices = static_cast<unsigned>(vertices.size());
        mesh->mVertices = new aiVector3D[vertices.size()];
        mesh->mColors[0] = new aiColor4D[vertices.size()];
        mesh->mTextureCoords[0] = new aiVector3D[vertices.size()];
        mesh->mNumUVComponents[0] = 2;
        for (std::size_t v = 0; v < vertices.size(); ++v) {
            const CObPunkt& p = model.Punkte[vertices[v]];
            mesh->mVertices[v] = aiVector3D(static_cast<ai_real>(p.X), static_cast<ai_real>(p.Y),
                                            static_cast<ai_real>(p.Z));
            mesh->mColors[0][v] =
                aiColor4D(static_cast<float>(p.R) / 255.0f, static_cast<float>(p.G) / 255.0f,
                          static_cast<float>(p.B) / 255.0f, 1.0f);
            mesh->mTextureCoords[0][v] = aiVector3D(p.TexX, p.TexY, 0.0f);
        }
        mesh->mNumFaces = static_cast<unsigned>(polygons.size());
        mesh->mFaces = new aiFace[polygons.size()];
        for (std::size_t i = 0; i < polygons.size(); ++i) {
            const Flaeche& f = *polygons[i];
            aiFace& face = mesh->mFaces[i];
            face.mNumIndices = static_cast<unsigned>(f.Anzahl);
            face.mIndices = new unsigned[face.mNumIndices];
            for (std::size_t j = 0; j < face.mNumIndices; ++j) {
                face.mIndices[j] =
                    static_cast<unsigned>(local[static_cast<std::size_t>(Ecke(f, j))]);
            }
        }
        for (const std::size_t e : vertices) local[e] = -1;

        auto* material = new aiMaterial();
        const aiString name("TexId " + std::to_string(texId));
        material->AddProperty(&name, AI_MATKEY_NAME);
        const aiColor3D white(1.0f, 1.0f, 1.0f);
        material->AddProperty(&white, 1, AI_MATKEY_COLOR_DIFFUSE);
        scene->mMaterials[m] = material;
        ++m;
    }
    if (meshes == 0) scene->mMaterials[0] = new aiMaterial();

    // The meshes hang at the root, or below it where the format needs that.
    aiNode* holder = scene->mRootNode;
    std::vector<aiNode*> children;
    if (recipe.throughFile || recipe.unitAndAxis) {
        holder = new aiNode("Kon_mesh");
        children.push_back(holder);
    }
    if (recipe.unitAndAxis) {
        constexpr ai_real kMetresPerUnit = static_cast<ai_real>(0.001);
        scene->mRootNode->mTransformation = aiMatrix4x4(
            aiMatrix3x3(kMetresPerUnit, 0, 0, 0, 0, kMetresPerUnit, 0, -kMetresPerUnit, 0));
    }
    holder->mNumMeshes = static_cast<unsigned>(meshes);
    holder->mMeshes = NewArray<unsigned>(meshes);
    for (std::size_t i = 0; i < meshes; ++i) holder->mMeshes[i] = static_cast<unsigned>(i);
    if (recipe.nodes) {
        // No blank in node names: Collada keeps ids, and an id has none.
        for (std::size_t i = 0; i < model.Instanzen.size(); ++i) {
            auto* node = new aiNode("Instanz_" + std::to_string(i + 1));
            node->mTransformation = Placement(model.Instanzen[i]);
            children.push_back(node);
        }
    }
    if (!children.empty())
        scene->mRootNode->addChildren(static_cast<unsigned>(children.size()), children.data());
    built.scene = std::move(scene);
    return built;
}

std::string Plural(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

// assimp's 3MF writer needs a file of its own: a fresh directory in the
// system's temporary folder, removed again whatever happens.
BridgeResult ExportThroughFile(const aiScene& scene, const ExportRecipe& recipe,
                               std::ostream& out) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path base = fs::temp_directory_path(ec);
    if (ec) return {{}, "no temporary folder: " + ec.message()};
    std::random_device random;
    fs::path dir;
    for (int attempt = 0; attempt < 16 && dir.empty(); ++attempt) {
        const fs::path candidate = base / ("kon-export-" + std::to_string(random()));
        if (fs::create_directory(candidate, ec)) dir = candidate;
    }
    if (dir.empty()) return {{}, "cannot create a temporary folder in " + base.string()};
    const fs::path file = dir / (std::string("model.") + recipe.extension);
    BridgeResult result;
    Assimp::Exporter exporter;
    if (exporter.Export(&scene, recipe.assimpId, file.string(), aiProcess_Triangulate) !=
        aiReturn_SUCCESS) {
        result.error = exporter.GetErrorString();
    } else {
        std::ifstream in(file, std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>()};
        if (!in.good() && !in.eof()) {
            result.error = "cannot read assimp's output back";
        } else if (bytes.empty()) {
            result.error = "assimp wrote nothing";
        } else {
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        }
    }
    fs::remove_all(dir, ec);
    return result;
}

}  // namespace

std::vector<FormatInfo> AssimpExportFormats() {
    const Assimp::Exporter exporter;
    std::vector<FormatInfo> formats;
    for (const ExportRecipe& s : kRecipes) {
        const aiExportFormatDesc* d = AssimpFormat(exporter, s.assimpId);
        if (d == nullptr) continue;
        formats.push_back({s.id, s.extension, d->description, s.colours, s.texcoords, s.nodes});
    }
    return formats;
}

BridgeResult ExportWithAssimp(const KonModell& model, const std::string& formatId,
                              std::ostream& out) {
    const ExportRecipe* recipe = FindRecipe(formatId);
    Assimp::Exporter exporter;
    if (recipe == nullptr || AssimpFormat(exporter, recipe->assimpId) == nullptr) {
        return {{}, "assimp offers no export format \"" + formatId + "\""};
    }
    BridgeResult result;
    try {
        const Built built = BuildScene(model, *recipe);
        if (built.scene->mNumMeshes == 0) {
            return {{}, "no polygons of three or more corners to write"};
        }
        const std::string name = recipe->id;
        if (built.skippedSmall != 0) {
            result.warnings.push_back(
                "left out " + Plural(built.skippedSmall, "polygon", "polygons") +
                " of one or two corners (dimension lines); " + name + " gets polygons only");
        }
        if (built.skippedInvalid != 0) {
            result.warnings.push_back("left out " +
                                      Plural(built.skippedInvalid, "polygon", "polygons") +
                                      " naming points that do not exist");
        }
        if (built.unusedPoints != 0) {
            result.warnings.push_back("left out " + Plural(built.unusedPoints, "point", "points") +
                                      " that no written polygon uses");
        }
        if (built.supplements != 0) {
            result.warnings.push_back(
                "left out " + Plural(built.supplements, "supplement entry", "supplement entries") +
                " of the points; " + name + " has no place for them");
        }
        if (built.reserved != 0) {
            result.warnings.push_back("left out the reserved words of " +
                                      Plural(built.reserved, "point", "points") + "; " + name +
                                      " has no place for them");
        }
        if (built.imprecise != 0) {
            result.warnings.push_back(
                Plural(built.imprecise, "point has", "points have") + " coordinates beyond " +
                std::to_string(recipe->throughFile ? kSixDigits : kFloatExact) + ", which " + name +
                (recipe->throughFile ? " as assimp writes it rounds to six significant digits"
                                     : " as assimp writes it rounds to single precision"));
        }
        if (!recipe->colours) {
            result.warnings.push_back(name + " as assimp writes it keeps no point colours");
        }
        if (!recipe->texcoords) {
            result.warnings.push_back(
                name + " as assimp writes it does not keep texture coordinates exactly");
        }
        if (!recipe->nodes && !model.Instanzen.empty()) {
            result.warnings.push_back(
                "left out " +
                Plural(model.Instanzen.size(), "instance placement", "instance placements") + "; " +
                name + " has no nodes for them");
        }
        if (recipe->throughFile) {
            BridgeResult written = ExportThroughFile(*built.scene, *recipe, out);
            if (!written.ok()) return written;
            return result;
        }
        const aiExportDataBlob* blob = exporter.ExportToBlob(built.scene.get(), recipe->assimpId);
        if (blob == nullptr || blob->size == 0) {
            const std::string why = exporter.GetErrorString();
            return {{}, why.empty() ? "assimp wrote nothing" : why};
        }
        out.write(static_cast<const char*>(blob->data), static_cast<std::streamsize>(blob->size));
        for (const aiExportDataBlob* extra = blob->next; extra != nullptr; extra = extra->next) {
            result.warnings.push_back("left out assimp's extra file \"" +
                                      std::string(extra->name.C_Str()) + "\"");
        }
    } catch (const std::exception& e) {
        return {{}, std::string("assimp failed: ") + e.what()};
    }
    return result;
}

}  // namespace kon::bridge
