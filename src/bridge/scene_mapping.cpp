// An assimp scene becomes a Kon model: every mesh placed by a node, in world
// coordinates, rounded to whole Kon units; points joined by everything a Kon
// point holds; polygons kept with their corner count.

#include <assimp/material.h>
#include <assimp/scene.h>

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <tuple>
#include <unordered_map>
#include <vector>

#include "bridge/assimp_bridge.h"
#include "model/derive_lines.h"

namespace kon::bridge {

namespace {

// A scene whose nodes place its meshes more often than this (vertices and
// corners summed over every placement) is refused rather than walked for
// hours; real models stay far below it.
constexpr std::uint64_t kMaxWork = std::uint64_t{1} << 27;
// Beyond the limit points are still counted for the refusal, up to here.
constexpr std::size_t kMaxCountedPunkte = std::size_t{1} << 20;
constexpr std::size_t kMaxDepth = 1024;

// Affine transform, rows of four; doubles, so nested transforms of large
// coordinates keep their precision.
using Matrix = std::array<double, 12>;

Matrix FromAssimp(const aiMatrix4x4& m) {
    return {m.a1, m.a2, m.a3, m.a4, m.b1, m.b2, m.b3, m.b4, m.c1, m.c2, m.c3, m.c4};
}

Matrix Multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (std::size_t row = 0; row < 3; ++row) {
        for (std::size_t col = 0; col < 4; ++col) {
            double sum = col == 3 ? a[row * 4 + 3] : 0.0;
            for (std::size_t k = 0; k < 3; ++k) sum += a[row * 4 + k] * b[k * 4 + col];
            r[row * 4 + col] = sum;
        }
    }
    return r;
}

// What a Kon point holds; two source vertices with the same key are one point.
struct PointKey {
    std::int32_t X = 0, Y = 0, Z = 0;
    std::uint8_t R = 0, G = 0, B = 0;
    std::uint32_t TexX = 0, TexY = 0;  // bits of the floats, -0 made +0
    std::int32_t TexId = 0;
    bool operator==(const PointKey&) const = default;
};

struct KeyHash {
    std::size_t operator()(const PointKey& k) const {
        std::uint64_t h = 0x9E3779B97F4A7C15u;
        for (const std::uint64_t v :
             {std::uint64_t{static_cast<std::uint32_t>(k.X)},
              std::uint64_t{static_cast<std::uint32_t>(k.Y)},
              std::uint64_t{static_cast<std::uint32_t>(k.Z)},
              std::uint64_t{k.R} << 16 | std::uint64_t{k.G} << 8 | k.B, std::uint64_t{k.TexX},
              std::uint64_t{k.TexY}, std::uint64_t{static_cast<std::uint32_t>(k.TexId)}}) {
            h = (h ^ v) * 0x100000001B3u;
            h ^= h >> 29;
        }
        return static_cast<std::size_t>(h);
    }
};

// The exact source values of a vertex, to tell when rounding joined two
// vertices that were distinct.
struct Source {
    double x = 0, y = 0, z = 0;
    float r = 0, g = 0, b = 0, u = 0, v = 0;
    bool operator==(const Source& o) const { return std::memcmp(this, &o, sizeof o) == 0; }
};

// One vertex of one placed mesh: its key once computed, its point once used.
struct VertexSlot {
    PointKey key;
    Source source;
    std::int32_t point = -1;  // -1 unused; kMaxPunkte and above: counted only
    bool ready = false;
    bool texReplaced = false;  // a texture coordinate was not finite
};

std::uint8_t Channel(float c) {
    if (!(c > 0.0f)) return 0;  // also NaN
    if (c >= 1.0f) return 255;
    return static_cast<std::uint8_t>(std::lround(static_cast<double>(c) * 255.0));
}

float Plain(float f) {
    return f + 0.0f;  // -0 becomes +0, so the key does not split them
}

std::string Count(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

class Mapper {
  public:
    Mapper(const aiScene& scene, Matrix base) : scene_(scene), base_(base) {}

    BridgeResult Run(KonModell& model);

  private:
    bool Walk();
    bool Place(std::size_t meshIndex, const Matrix& world);
    bool Prepare(const aiMesh& mesh, std::size_t meshIndex, const Matrix& world, VertexSlot& slot,
                 std::size_t vertex);
    bool AddFace(const aiMesh& mesh, std::size_t meshIndex, const Matrix& world,
                 const aiFace& face);
    bool Spend(std::uint64_t work);
    bool Fail(std::string message) {
        error_ = std::move(message);
        return false;
    }
    void MaterialOf(std::size_t materialIndex, bool& hasColour, PointKey& key, Source& src) const;

    const aiScene& scene_;
    const Matrix base_;
    std::unordered_map<PointKey, std::int32_t, KeyHash> index_;
    std::vector<CObPunkt> punkte_;
    std::vector<Source> sources_;
    std::vector<Flaeche> flaechen_;
    std::vector<VertexSlot> slots_;
    std::vector<std::size_t> corners_;
    std::vector<bool> placed_;
    std::uint64_t polygons_ = 0, pointPrimitives_ = 0, linePrimitives_ = 0, collapsed_ = 0,
                  roundingJoins_ = 0, texReplaced_ = 0, work_ = 0;
    bool pointsOverflow_ = false;
    std::string error_;
};

bool Mapper::Spend(std::uint64_t work) {
    work_ += work;
    if (work_ <= kMaxWork) return true;
    return Fail("the scene's nodes place more than " + std::to_string(kMaxWork) +
                " vertices and corners; refused");
}

void Mapper::MaterialOf(std::size_t materialIndex, bool& hasColour, PointKey& key,
                        Source& src) const {
    key.TexId = static_cast<std::int32_t>(
        std::min<std::size_t>(materialIndex, std::numeric_limits<std::int32_t>::max()));
    if (materialIndex >= scene_.mNumMaterials || scene_.mMaterials == nullptr) return;
    const aiMaterial* material = scene_.mMaterials[materialIndex];
    if (material == nullptr) return;
    // Our own exports name each material after the TexId it stands for.
    aiString name;
    if (material->Get(AI_MATKEY_NAME, name) == aiReturn_SUCCESS) {
        const std::string_view text(name.C_Str(), name.length);
        constexpr std::string_view kPrefix = "TexId ";
        if (text.starts_with(kPrefix)) {
            std::int32_t id = 0;
            const char* end = text.data() + text.size();
            const auto [ptr, ec] = std::from_chars(text.data() + kPrefix.size(), end, id);
            if (ec == std::errc() && ptr == end) key.TexId = id;
        }
    }
    aiColor4D diffuse;
    if (!hasColour && material->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse) == aiReturn_SUCCESS) {
        hasColour = true;
        std::tie(src.r, src.g, src.b) = std::tuple{diffuse.r, diffuse.g, diffuse.b};
    }
}

bool Mapper::Prepare(const aiMesh& mesh, std::size_t meshIndex, const Matrix& w, VertexSlot& slot,
                     std::size_t vertex) {
    const aiVector3D& p = mesh.mVertices[vertex];
    const double x = p.x, y = p.y, z = p.z;
    for (const double c : {x, y, z}) {
        if (!std::isfinite(c)) {
            return Fail("mesh " + std::to_string(meshIndex) + ", vertex " + std::to_string(vertex) +
                        ": coordinate " + std::to_string(c) + " is not a finite number");
        }
    }
    Source& s = slot.source;
    s.x = w[0] * x + w[1] * y + w[2] * z + w[3];
    s.y = w[4] * x + w[5] * y + w[6] * z + w[7];
    s.z = w[8] * x + w[9] * y + w[10] * z + w[11];
    PointKey& k = slot.key;
    std::int32_t* const out[] = {&k.X, &k.Y, &k.Z};
    const double in[] = {s.x, s.y, s.z};
    for (std::size_t i = 0; i < 3; ++i) {
        const double r = std::round(in[i]);
        // Also false for NaN; within the range the cast is exact.
        if (!(r >= std::numeric_limits<std::int32_t>::min() &&
              r <= std::numeric_limits<std::int32_t>::max())) {
            return Fail("mesh " + std::to_string(meshIndex) + ", vertex " + std::to_string(vertex) +
                        ": coordinate " + std::to_string(in[i]) +
                        " lies outside the Kon range of 32-bit whole numbers; use a smaller scale");
        }
        *out[i] = static_cast<std::int32_t>(r);
    }
    bool hasColour = false;
    if (mesh.mColors[0] != nullptr) {
        const aiColor4D& c = mesh.mColors[0][vertex];
        std::tie(s.r, s.g, s.b) = std::tuple{c.r, c.g, c.b};
        hasColour = true;
    }
    MaterialOf(mesh.mMaterialIndex, hasColour, k, s);
    std::tie(k.R, k.G, k.B) = std::tuple{Channel(s.r), Channel(s.g), Channel(s.b)};
    if (mesh.mTextureCoords[0] != nullptr) {
        const aiVector3D& t = mesh.mTextureCoords[0][vertex];
        // NaN and infinity would reach every output; 0 as without coordinates.
        slot.texReplaced = !std::isfinite(t.x) || !std::isfinite(t.y);
        s.u = std::isfinite(t.x) ? Plain(t.x) : 0.0f;
        s.v = std::isfinite(t.y) ? Plain(t.y) : 0.0f;
    }
    k.TexX = std::bit_cast<std::uint32_t>(s.u);
    k.TexY = std::bit_cast<std::uint32_t>(s.v);
    slot.ready = true;
    return true;
}

bool Mapper::AddFace(const aiMesh& mesh, std::size_t meshIndex, const Matrix& world,
                     const aiFace& face) {
    const std::size_t n = face.mNumIndices;
    if (n == 1) ++pointPrimitives_;
    if (n == 2) ++linePrimitives_;
    if (n < 3) return true;
    if (face.mIndices == nullptr)
        return Fail("mesh " + std::to_string(meshIndex) + ": a face without indices");
    if (!Spend(n)) return false;
    // Corners as vertices of this mesh; a corner that rounds onto its
    // predecessor is the same point and goes.
    corners_.clear();
    for (std::size_t j = 0; j < n; ++j) {
        const std::size_t v = face.mIndices[j];
        if (v >= mesh.mNumVertices) {
            return Fail("mesh " + std::to_string(meshIndex) + ": a face names vertex " +
                        std::to_string(v) + " of " + std::to_string(mesh.mNumVertices));
        }
        if (!slots_[v].ready && !Prepare(mesh, meshIndex, world, slots_[v], v)) return false;
        if (corners_.empty() || !(slots_[corners_.back()].key == slots_[v].key)) {
            corners_.push_back(v);
        }
    }
    while (corners_.size() > 1 && slots_[corners_.back()].key == slots_[corners_.front()].key) {
        corners_.pop_back();
    }
    if (corners_.size() < 3) {
        ++collapsed_;
        return true;
    }
    ++polygons_;
    Flaeche f;
    bool storable = polygons_ <= kMaxFlaechen;
    for (const std::size_t v : corners_) {
        VertexSlot& slot = slots_[v];
        if (slot.point < 0) {
            const auto [it, added] =
                index_.try_emplace(slot.key, static_cast<std::int32_t>(index_.size()));
            slot.point = it->second;
            const auto point = static_cast<std::size_t>(slot.point);
            if (added && point < kMaxPunkte) {
                if (slot.texReplaced) ++texReplaced_;
                CObPunkt p;
                std::tie(p.X, p.Y, p.Z) = std::tuple{slot.key.X, slot.key.Y, slot.key.Z};
                std::tie(p.R, p.G, p.B) = std::tuple{slot.key.R, slot.key.G, slot.key.B};
                p.TexX = slot.source.u;
                p.TexY = slot.source.v;
                p.TexId = slot.key.TexId;
                punkte_.push_back(std::move(p));
                sources_.push_back(slot.source);
            } else if (!added && point < kMaxPunkte && !(sources_[point] == slot.source)) {
                ++roundingJoins_;
            }
            if (index_.size() >= kMaxCountedPunkte) {
                pointsOverflow_ = true;
                return Fail("");
            }
        }
        // Points beyond the limit are only counted; the model is refused.
        if (static_cast<std::size_t>(slot.point) >= kMaxPunkte) storable = false;
        if (storable) AppendEcke(f, static_cast<std::int16_t>(slot.point));
    }
    if (storable) flaechen_.push_back(std::move(f));
    return true;
}

bool Mapper::Place(std::size_t meshIndex, const Matrix& world) {
    if (meshIndex >= scene_.mNumMeshes || scene_.mMeshes == nullptr) {
        return Fail("a node places mesh " + std::to_string(meshIndex) + " of " +
                    std::to_string(scene_.mNumMeshes));
    }
    placed_[meshIndex] = true;
    const aiMesh* mesh = scene_.mMeshes[meshIndex];
    if (mesh == nullptr) return true;
    if ((mesh->mNumVertices != 0 && mesh->mVertices == nullptr) ||
        (mesh->mNumFaces != 0 && mesh->mFaces == nullptr)) {
        return Fail("mesh " + std::to_string(meshIndex) + " lacks its vertices or faces");
    }
    if (!Spend(std::uint64_t{mesh->mNumVertices} + mesh->mNumFaces)) return false;
    slots_.assign(mesh->mNumVertices, VertexSlot{});
    for (std::size_t i = 0; i < mesh->mNumFaces; ++i) {
        if (!AddFace(*mesh, meshIndex, world, mesh->mFaces[i])) return false;
    }
    return true;
}

bool Mapper::Walk() {
    placed_.assign(scene_.mNumMeshes, false);
    if (scene_.mRootNode == nullptr) {
        // A scene without nodes: every mesh once, as stored.
        for (std::size_t i = 0; i < scene_.mNumMeshes; ++i) {
            if (!Place(i, base_)) return false;
        }
        return true;
    }
    struct Pending {
        const aiNode* node;
        Matrix parent;
        std::size_t depth;
    };
    std::vector<Pending> stack{{scene_.mRootNode, base_, 0}};
    while (!stack.empty()) {
        const Pending at = stack.back();
        stack.pop_back();
        if (at.node == nullptr) continue;
        if (at.depth > kMaxDepth) {
            return Fail("the node tree is deeper than " + std::to_string(kMaxDepth) + " levels");
        }
        if (!Spend(1)) return false;
        const aiNode& node = *at.node;
        const Matrix world = Multiply(at.parent, FromAssimp(node.mTransformation));
        if ((node.mNumMeshes != 0 && node.mMeshes == nullptr) ||
            (node.mNumChildren != 0 && node.mChildren == nullptr)) {
            return Fail("a node lacks its meshes or children");
        }
        for (std::size_t i = 0; i < node.mNumMeshes; ++i) {
            if (!Place(node.mMeshes[i], world)) return false;
        }
        // Children in their own order: the last pushed is walked first.
        for (std::size_t i = node.mNumChildren; i-- > 0;) {
            stack.push_back({node.mChildren[i], world, at.depth + 1});
        }
    }
    return true;
}

BridgeResult Mapper::Run(KonModell& model) {
    BridgeResult result;
    model = KonModell{};
    const bool walked = Walk();
    const std::size_t points = index_.size();
    if (walked && (points > kMaxPunkte || polygons_ > kMaxFlaechen)) {
        if (points > kMaxPunkte && polygons_ > kMaxFlaechen) {
            error_ = std::to_string(points) + " points after joining and " +
                     std::to_string(polygons_) +
                     " polygons; a Kon model holds at most 32767 of each";
        } else if (points > kMaxPunkte) {
            error_ =
                std::to_string(points) + " points after joining; a Kon model holds at most 32767";
        } else {
            error_ = std::to_string(polygons_) + " polygons; a Kon model holds at most 32767";
        }
    } else if (pointsOverflow_) {
        error_ = "more than " + std::to_string(kMaxCountedPunkte) +
                 " points after joining; a Kon model holds at most 32767";
    } else if (walked && polygons_ == 0) {
        error_ = "no polygons to import";
        if (pointPrimitives_ + linePrimitives_ + collapsed_ != 0) {
            error_ += " (" + Count(pointPrimitives_, "point primitive", "point primitives") + ", " +
                      Count(linePrimitives_, "line primitive", "line primitives") + ", " +
                      Count(collapsed_, "polygon", "polygons") + " collapsed by rounding)";
        }
    }
    if (!error_.empty()) {
        model = KonModell{};
        result.error = std::move(error_);
        return result;
    }

    if (pointPrimitives_ + linePrimitives_ != 0) {
        result.warnings.push_back(
            "left out " + Count(pointPrimitives_, "point primitive", "point primitives") + " and " +
            Count(linePrimitives_, "line primitive", "line primitives") +
            "; only polygons are imported");
    }
    if (collapsed_ != 0) {
        result.warnings.push_back(
            "left out " + Count(collapsed_, "polygon", "polygons") +
            " that rounding to whole Kon units left with fewer than three corners; a larger "
            "scale keeps them");
    }
    if (roundingJoins_ != 0) {
        result.warnings.push_back(
            "rounding to whole Kon units joined " +
            Count(roundingJoins_, "distinct source vertex", "distinct source vertices") +
            " with others; a larger scale keeps them apart");
    }
    if (texReplaced_ != 0) {
        result.warnings.push_back("set texture coordinates that are not finite numbers to 0 at " +
                                  Count(texReplaced_, "point", "points"));
    }
    std::uint64_t unplaced = 0;
    for (const bool p : placed_) unplaced += p ? 0 : 1;
    if (unplaced != 0) {
        result.warnings.push_back("left out " + Count(unplaced, "mesh", "meshes") +
                                  " that no node places");
    }

    model.Variante = kVarianteMolk;
    model.Punkte = std::move(punkte_);
    model.Flaechenliste = std::move(flaechen_);
    DeriveLines(model);
    return result;
}

}  // namespace

BridgeResult MapScene(const aiScene& scene, double scale, KonModell& model, Axes axes) {
    if (!(scale > 0.0) || !std::isfinite(scale)) {
        model = KonModell{};
        return {{}, "the scale must be a positive number, not " + std::to_string(scale)};
    }
    // Kon is Z up; a Y-up source's (x, y, z) is Kon's (x, -z, y).
    const Matrix base = axes == Axes::kYUpToZUp
                            ? Matrix{scale, 0, 0, 0, 0, 0, -scale, 0, 0, scale, 0, 0}
                            : Matrix{scale, 0, 0, 0, 0, scale, 0, 0, 0, 0, scale, 0};
    return Mapper(scene, base).Run(model);
}

}  // namespace kon::bridge
