#include "export/gltf.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <cmath>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "export/base64.h"
#include "export/gltf_placement.h"
#include "export/shortest_text.h"
#include "export/triangulate.h"
#include "model/integer_text.h"
#include "model/run_beside.h"

namespace kon {

namespace {

using Json = nlohmann::ordered_json;
using Position = std::array<float, 3>;

constexpr int kFloat = 5126;
constexpr int kUnsignedByte = 5121;
constexpr int kUnsignedShort = 5123;
constexpr int kArrayBuffer = 34962;
constexpr int kElementArrayBuffer = 34963;
constexpr int kLines = 1;
// Room for the longest instance node in JSON text: its fixed text and the
// brackets and separators of its lists (69 bytes, kept below 80), the number
// in its name and ten numbers. The room beyond the text is never touched,
// so it costs no page.
constexpr std::size_t kInstanceText = 80 + kMaxIntegerChars + 10 * kMaxShortestChars;
// From this many instance nodes on, a second thread writes them beside the
// mesh (below, a thread costs more than it saves).
constexpr std::size_t kThreadedInstances = 4096;

Position ToGltf(double x, double y, double z) {
    return {static_cast<float>(x / 1000.0), static_cast<float>(z / 1000.0),
            static_cast<float>(-y / 1000.0)};
}

float FiniteOrZero(float value) {
    return std::isfinite(value) ? value : 0.0f;
}

// The triangles of the polygons: the points they use, renumbered in order of
// first use, and the corner lists per TexId.
struct MeshParts {
    std::vector<std::size_t> punkt;  // vertex -> index into Punkte
    std::map<std::int32_t, std::vector<std::uint16_t>> indices;
};

// The corner count a polygon really holds; 0 when Anzahl claims more corners
// than it carries, so such a polygon is left out rather than read past.
std::size_t HeldCorners(const Flaeche& f) {
    if (f.Anzahl <= 0) return 0;
    const auto n = static_cast<std::size_t>(f.Anzahl);
    return n <= 4 + f.WeitereEcken.size() ? n : 0;
}

MeshParts CollectMesh(const KonModell& model) {
    MeshParts mesh;
    // Corners are signed 16-bit, so at most 32768 points get a vertex and
    // every vertex number fits an unsigned 16-bit index.
    std::vector<std::int32_t> vertexOf(model.Punkte.size(), -1);
    std::vector<std::size_t> corners;
    std::vector<Vec3> places;
    for (const Flaeche& f : model.Flaechenliste) {
        const std::size_t n = HeldCorners(f);
        corners.clear();
        places.clear();
        for (std::size_t j = 0; j < n; ++j) {
            const std::int16_t e = Ecke(f, j);
            if (e < 0 || static_cast<std::size_t>(e) >= model.Punkte.size()) break;
            const CObPunkt& p = model.Punkte[static_cast<std::size_t>(e)];
            corners.push_back(static_cast<std::size_t>(e));
            places.push_back(
                {static_cast<double>(p.X), static_cast<double>(p.Y), static_cast<double>(p.Z)});
        }
        if (corners.size() != n || n < 3) continue;
        const std::vector<std::size_t> triangles = Triangulate(places);
        if (triangles.empty()) continue;
        std::vector<std::uint16_t>& out = mesh.indices[model.Punkte[corners[0]].TexId];
        for (std::size_t t = 0; t + 2 < triangles.size(); t += 3) {
            const std::size_t a = corners[triangles[t]];
            const std::size_t b = corners[triangles[t + 1]];
            const std::size_t c = corners[triangles[t + 2]];
            // A corner repeated in one triangle draws nothing.
            if (a == b || b == c || a == c) continue;
            for (const std::size_t punkt : {a, b, c}) {
                if (vertexOf[punkt] < 0) {
                    vertexOf[punkt] = static_cast<std::int32_t>(mesh.punkt.size());
                    mesh.punkt.push_back(punkt);
                }
                out.push_back(static_cast<std::uint16_t>(vertexOf[punkt]));
            }
        }
        if (out.empty()) mesh.indices.erase(model.Punkte[corners[0]].TexId);
    }
    return mesh;
}

// A word's bytes, little-endian whatever the host's order.
std::array<char, 4> LittleEndian(std::uint32_t value) {
    return {static_cast<char>(value & 0xFFu), static_cast<char>(value >> 8 & 0xFFu),
            static_cast<char>(value >> 16 & 0xFFu), static_cast<char>(value >> 24 & 0xFFu)};
}

// The binary buffer as it grows: every view starts on a 4-byte boundary.
class Buffer {
  public:
    std::size_t BeginView() {
        bytes_.resize((bytes_.size() + 3) / 4 * 4, '\0');
        return bytes_.size();
    }
    void Float(float value) { Word(std::bit_cast<std::uint32_t>(value), 4); }
    void U16(std::uint16_t value) { Word(value, 2); }
    void U8(std::uint8_t value) { bytes_ += static_cast<char>(value); }
    void Reserve(std::size_t bytes) { bytes_.reserve(bytes); }
    std::size_t Size() const { return bytes_.size(); }
    const std::string& Bytes() const { return bytes_; }

  private:
    // The low `bytes` bytes of the word.
    void Word(std::uint32_t value, int bytes) {
        bytes_.append(LittleEndian(value).data(), static_cast<std::size_t>(bytes));
    }
    std::string bytes_;
};

// Copies a literal without its terminating zero.
template <std::size_t N>
char* PutText(char* out, const char (&text)[N]) {
    std::memcpy(out, text, N - 1);
    return out + N - 1;
}

// A JSON list of values, each written by `put`.
template <typename Value, std::size_t N, typename Put>
char* PutList(char* out, const std::array<Value, N>& values, Put put) {
    char sep = '[';
    for (const Value v : values) {
        *out++ = sep;
        sep = ',';
        out = put(out, v);
    }
    *out++ = ']';
    return out;
}

// glTF holds rotation and scale as 32-bit floats, and the scale was one:
// their float forms are as exact and half as long.
char* PutFloat(char* out, double value) {
    return PutShortest(out, static_cast<float>(value));
}

// The JSON text of the instance nodes, in pieces of kNodesPerPiece nodes,
// each written into room of its own allocated at once: kInstanceText bytes
// a node bound every node, so no write checks for room. The room is never
// cleared, and what a node leaves unused costs no page. Whichever thread is
// free takes the next piece not yet taken.
class InstanceText {
  public:
    // Instance nodes are many (32767 in the largest model) and all alike, so
    // they are written as text straight away: a JSON tree of them took most
    // of the writing time. The room is allocated here, from the converting
    // thread's heap: a second thread's would be a fresh one, faulted in page
    // by page.
    explicit InstanceText(const std::vector<CObFormat>& instanzen)
        : instanzen_(instanzen),
          lengths_((instanzen.size() + kNodesPerPiece - 1) / kNodesPerPiece),
          ready_(lengths_.size(), 0) {
        if (!instanzen.empty()) {
            room_ = std::make_unique_for_overwrite<char[]>(instanzen.size() * kInstanceText);
        }
    }

    // Writes pieces until none is left to take.
    void Fill() {
        while (FillOne()) {
        }
    }

    // The nodes' text to `out`, piece by piece in order, as the pieces get
    // ready; while the next is not, this thread writes one not yet taken, or
    // waits for the one another thread is writing. Returns the text's length.
    std::uint64_t WriteTo(std::ostream& out) {
        std::uint64_t length = 0;
        for (std::size_t piece = 0; piece < lengths_.size(); ++piece) {
            while (!Ready(piece)) {
                if (!FillOne()) {
                    std::unique_lock<std::mutex> lock(mutex_);
                    readyChanged_.wait(lock, [&] { return ready_[piece] != 0; });
                }
            }
            out.write(Start(piece), static_cast<std::streamsize>(lengths_[piece]));
            length += lengths_[piece];
        }
        return length;
    }

    std::size_t Count() const { return instanzen_.size(); }

  private:
    static constexpr std::size_t kNodesPerPiece = 1024;

    // Takes the next piece and writes it; false when none was left.
    bool FillOne() {
        const std::size_t piece = next_++;
        if (piece >= lengths_.size()) return false;
        const std::size_t first = piece * kNodesPerPiece;
        const std::size_t last = std::min(first + kNodesPerPiece, instanzen_.size());
        char* const start = Start(piece);
        lengths_[piece] = static_cast<std::size_t>(Put(first, last, start) - start);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            ready_[piece] = 1;
        }
        readyChanged_.notify_all();
        return true;
    }

    bool Ready(std::size_t piece) {
        const std::lock_guard<std::mutex> lock(mutex_);
        return ready_[piece] != 0;
    }

    char* Start(std::size_t piece) const {
        return room_.get() + piece * kNodesPerPiece * kInstanceText;
    }

    // Nodes first..last-1 from `out` on, numbered from one; names are
    // "Instanz " and digits, nothing to escape; numbers are shortest
    // round-trip forms, as the library writes them. Every node but the very
    // first follows a comma.
    char* Put(std::size_t first, std::size_t last, char* out) const {
        for (std::size_t i = first; i < last; ++i) {
            const GltfPlacement placement = ToGltfPlacement(instanzen_[i]);
            if (i > 0) *out++ = ',';
            out = PutText(out, "{\"name\":\"Instanz ");
            out = PutUnsigned(out, i + 1);
            out = PutText(out, "\",\"translation\":");
            // Metres, straight from the integer millimetres.
            out = PutList(out, placement.move, PutShortestThousandths);
            out = PutText(out, ",\"rotation\":");
            out = PutList(out, placement.rotation, PutFloat);
            out = PutText(out, ",\"scale\":");
            out = PutList(out, placement.scale, PutFloat);
            *out++ = '}';
        }
        return out;
    }

    const std::vector<CObFormat>& instanzen_;
    std::unique_ptr<char[]> room_;
    std::vector<std::size_t> lengths_;   // of each piece's text
    std::atomic<std::size_t> next_ = 0;  // the first piece not yet taken
    std::mutex mutex_;
    std::condition_variable readyChanged_;
    std::vector<char> ready_;  // per piece, under the mutex
};

class Document {
  public:
    Document() { json_["asset"] = {{"version", "2.0"}, {"generator", "kon"}}; }

    // A view over everything written to the buffer since `start`.
    std::size_t View(std::size_t start, int target) {
        ArrayAt("bufferViews")
            .push_back({{"buffer", 0},
                        {"byteOffset", start},
                        {"byteLength", buffer_.Size() - start},
                        {"target", target}});
        return json_["bufferViews"].size() - 1;
    }

    std::size_t Accessor(Json accessor) {
        ArrayAt("accessors").push_back(std::move(accessor));
        return json_["accessors"].size() - 1;
    }

    // Callers pass at least one position: glTF has no empty accessor.
    std::size_t Positions(const std::vector<Position>& positions) {
        const std::size_t start = buffer_.BeginView();
        Position low = positions.front();
        Position high = positions.front();
        for (const Position& p : positions) {
            for (std::size_t k = 0; k < 3; ++k) {
                buffer_.Float(p[k]);
                low[k] = std::min(low[k], p[k]);
                high[k] = std::max(high[k], p[k]);
            }
        }
        return Accessor({{"bufferView", View(start, kArrayBuffer)},
                         {"componentType", kFloat},
                         {"count", positions.size()},
                         {"type", "VEC3"},
                         {"min", low},
                         {"max", high}});
    }

    void ModelMesh(const KonModell& model, const MeshParts& mesh) {
        std::vector<Position> positions;
        positions.reserve(mesh.punkt.size());
        for (const std::size_t i : mesh.punkt) {
            const CObPunkt& p = model.Punkte[i];
            positions.push_back(ToGltf(p.X, p.Y, p.Z));
        }
        const std::size_t count = mesh.punkt.size();
        Json attributes = {{"POSITION", Positions(positions)}};

        // Four bytes a colour (opaque alpha): a 3-byte element would break
        // the 4-byte alignment of vertex attributes.
        std::size_t start = buffer_.BeginView();
        for (const std::size_t i : mesh.punkt) {
            const CObPunkt& p = model.Punkte[i];
            for (const std::uint8_t c : {p.R, p.G, p.B, std::uint8_t{255}}) buffer_.U8(c);
        }
        attributes["COLOR_0"] = Accessor({{"bufferView", View(start, kArrayBuffer)},
                                          {"componentType", kUnsignedByte},
                                          {"normalized", true},
                                          {"count", count},
                                          {"type", "VEC4"}});

        start = buffer_.BeginView();
        for (const std::size_t i : mesh.punkt) {
            buffer_.Float(FiniteOrZero(model.Punkte[i].TexX));
            buffer_.Float(FiniteOrZero(model.Punkte[i].TexY));
        }
        attributes["TEXCOORD_0"] = Accessor({{"bufferView", View(start, kArrayBuffer)},
                                             {"componentType", kFloat},
                                             {"count", count},
                                             {"type", "VEC2"}});

        start = buffer_.BeginView();
        Json primitives = Json::array();
        for (const auto& [texId, indices] : mesh.indices) {
            const std::size_t offset = buffer_.Size() - start;
            std::uint16_t high = 0;
            std::uint16_t low = std::numeric_limits<std::uint16_t>::max();
            for (const std::uint16_t i : indices) {
                buffer_.U16(i);
                high = std::max(high, i);
                low = std::min(low, i);
            }
            primitives.push_back(
                {{"attributes", attributes},
                 {"indices", json_["accessors"].size()},
                 {"material", Material("TexId " + std::to_string(texId), {1.0, 1.0, 1.0, 1.0})}});
            ArrayAt("accessors")
                .push_back({{"bufferView", json_["bufferViews"].size()},
                            {"byteOffset", offset},
                            {"componentType", kUnsignedShort},
                            {"count", indices.size()},
                            {"type", "SCALAR"},
                            {"min", {low}},
                            {"max", {high}}});
        }
        View(start, kElementArrayBuffer);
        Node("Modell", AddMesh("Modell", std::move(primitives)));
    }

    void Lines(const KonModell& model) {
        const struct {
            const std::vector<Linie>& linien;
            const char* name;
            std::array<double, 4> colour;
        } kinds[] = {{model.Linien, "Linien", {0.0, 0.0, 0.0, 1.0}},
                     {model.StrichLinien, "StrichLinien", {0.4, 0.4, 0.4, 1.0}},
                     {model.MassLinien, "MassLinien", {0.1, 0.3, 0.8, 1.0}}};
        Json primitives = Json::array();
        for (const auto& kind : kinds) {
            if (kind.linien.empty()) continue;
            std::vector<Position> positions;
            positions.reserve(2 * kind.linien.size());
            // Plan lines lie in the ground plane.
            for (const Linie& l : kind.linien) {
                positions.push_back(ToGltf(l.X1, l.Y1, 0.0));
                positions.push_back(ToGltf(l.X2, l.Y2, 0.0));
            }
            primitives.push_back({{"attributes", {{"POSITION", Positions(positions)}}},
                                  {"mode", kLines},
                                  {"material", Material(kind.name, kind.colour)}});
        }
        if (!primitives.empty()) Node("Plan", AddMesh("Plan", std::move(primitives)));
    }

    // The JSON text up to where the instance nodes go (all of it without
    // instances; they are then closed by "]}"); `uri` names the buffer
    // unless it is the GLB's own.
    const std::string& Head(std::size_t instances, const std::string* uri) {
        const std::size_t nodes = json_.contains("nodes") ? json_["nodes"].size() : 0;
        json_["scenes"] = Json::array({Json::object()});
        Json& scene = json_["scenes"][0];
        // Every node, the instances' too, is a root: the list is written as
        // text in place of this mark, as a JSON tree of so many numbers took
        // long to build, write and free. No name or uri holds an '@'.
        constexpr std::string_view kRootsMark = "@roots@";
        if (nodes + instances > 0) scene["nodes"] = kRootsMark;
        json_["scene"] = 0;
        if (buffer_.Size() > 0) {
            Json buffer = {{"byteLength", buffer_.Size()}};
            if (uri != nullptr) buffer["uri"] = *uri;
            json_["buffers"] = Json::array({std::move(buffer)});
        }
        if (instances > 0) {
            // "nodes" goes last, so its array closes the text: "...]}".
            Json tree = nodes > 0 ? std::move(json_["nodes"]) : Json::array();
            json_.erase("nodes");
            json_["nodes"] = std::move(tree);
        }
        head_ = json_.dump();
        if (nodes + instances > 0) {
            std::string roots = "[";
            roots.reserve((nodes + instances) * 6);  // up to 32769: five digits and a comma
            char digits[kMaxIntegerChars];
            for (std::size_t i = 0; i < nodes + instances; ++i) {
                if (i > 0) roots += ',';
                roots.append(digits, PutUnsigned(digits, i));
            }
            roots += ']';
            // The mark stands once, in quotes, as the scene's nodes.
            head_.replace(head_.find(kRootsMark) - 1, kRootsMark.size() + 2, roots);
        }
        if (instances > 0) {
            head_.resize(head_.size() - 2);
            if (nodes > 0) head_ += ',';
        }
        return head_;
    }

    const std::string& Bytes() const { return buffer_.Bytes(); }
    void Reserve(std::size_t bytes) { buffer_.Reserve(bytes); }

  private:
    std::size_t Material(const std::string& name, const std::array<double, 4>& colour) {
        ArrayAt("materials")
            .push_back(
                {{"name", name},
                 {"pbrMetallicRoughness",
                  {{"baseColorFactor", colour}, {"metallicFactor", 0.0}, {"roughnessFactor", 1.0}}},
                 // Kon polygons have no agreed front side.
                 {"doubleSided", true}});
        return json_["materials"].size() - 1;
    }

    std::size_t AddMesh(const std::string& name, Json primitives) {
        ArrayAt("meshes").push_back({{"name", name}, {"primitives", std::move(primitives)}});
        return json_["meshes"].size() - 1;
    }

    void Node(const std::string& name, std::size_t mesh) {
        ArrayAt("nodes").push_back({{"name", name}, {"mesh", mesh}});
    }

    // The array under `key`, made first where it is missing: the library's
    // push_back onto a missing (null) value leaves it broken, to crash in its
    // destructor, when the new array cannot be allocated.
    Json& ArrayAt(const char* key) {
        if (!json_.contains(key)) json_[key] = Json::array();
        return json_[key];
    }

    Json json_;
    Buffer buffer_;
    std::string head_;
};

void WriteWord(std::ostream& out, std::uint32_t value) {
    out.write(LittleEndian(value).data(), 4);
}

void WriteText(std::ostream& out, std::string_view text) {
    out.write(text.data(), static_cast<std::streamsize>(text.size()));
}

// The whole JSON text: the head, the instance nodes as they get ready, the
// end. Returns its length.
std::uint64_t WriteJson(std::ostream& out, const std::string& head, InstanceText& instanceText) {
    WriteText(out, head);
    if (instanceText.Count() == 0) return head.size();
    constexpr std::string_view kEnd = "]}";
    const std::uint64_t nodes = instanceText.WriteTo(out);
    WriteText(out, kEnd);
    return head.size() + nodes + kEnd.size();
}

std::uint64_t Padding(std::uint64_t length) {
    return (4 - length % 4) % 4;
}

// The GLB container. The JSON chunk's length is known only once its last
// instance node is written, so the header's two lengths are written as
// zeros first and filled in at the end.
void WriteGlb(std::ostream& out, const std::string& head, InstanceText& instanceText,
              const std::string& bin) {
    constexpr std::uint32_t kMagic = 0x46546C67;  // "glTF"
    constexpr std::uint32_t kJsonChunk = 0x4E4F534A;
    constexpr std::uint32_t kBinChunk = 0x004E4942;
    const std::streampos start = out.tellp();
    if (start == std::streampos(-1)) {
        out.setstate(std::ios::failbit);
        return;
    }
    WriteWord(out, kMagic);
    WriteWord(out, 2);
    WriteWord(out, 0);  // the total length, below
    WriteWord(out, 0);  // the JSON chunk's length, below
    WriteWord(out, kJsonChunk);
    const std::uint64_t json = WriteJson(out, head, instanceText);
    for (std::uint64_t i = 0; i < Padding(json); ++i) out.put(' ');
    const std::uint64_t jsonChunk = json + Padding(json);
    std::uint64_t total = 12 + 8 + jsonChunk;
    if (!bin.empty()) {
        const std::uint64_t binChunk = bin.size() + Padding(bin.size());
        WriteWord(out, static_cast<std::uint32_t>(binChunk));
        WriteWord(out, kBinChunk);
        WriteText(out, bin);
        for (std::uint64_t i = 0; i < Padding(bin.size()); ++i) out.put('\0');
        total += 8 + binChunk;
    }
    // Every chunk length is at most the total, so one check covers all words.
    if (total > std::numeric_limits<std::uint32_t>::max()) {
        out.setstate(std::ios::failbit);
        return;
    }
    out.seekp(start + std::streamoff{8});
    WriteWord(out, static_cast<std::uint32_t>(total));
    WriteWord(out, static_cast<std::uint32_t>(jsonChunk));
    out.seekp(0, std::ios::end);
    // A stream that writes only at its end (a file opened to append) took
    // the lengths there instead: the end shows it.
    if (out.tellp() != start + static_cast<std::streamoff>(total)) out.setstate(std::ios::failbit);
}

}  // namespace

void WriteGltf(const KonModell& model, std::ostream& out, GltfForm form) {
    InstanceText instanceText(model.Instanzen);
    const auto write = [&] {
        Document document;
        const MeshParts mesh = CollectMesh(model);
        // Room for the whole buffer: 24 bytes a vertex, 2 an index, 24 a
        // line, and the alignment padding of at most ten views.
        std::size_t bytes = 24 * mesh.punkt.size() + 40;
        for (const auto& [texId, indices] : mesh.indices) bytes += 2 * indices.size();
        bytes += 24 * (model.Linien.size() + model.StrichLinien.size() + model.MassLinien.size());
        document.Reserve(bytes);
        if (!mesh.indices.empty()) document.ModelMesh(model, mesh);
        document.Lines(model);
        if (form == GltfForm::kBinary) {
            WriteGlb(out, document.Head(instanceText.Count(), nullptr), instanceText,
                     document.Bytes());
            return;
        }
        const std::string uri =
            "data:application/octet-stream;base64," + EncodeBase64(document.Bytes());
        WriteJson(out, document.Head(instanceText.Count(), &uri), instanceText);
    };
    if (instanceText.Count() < kThreadedInstances) {
        write();
        return;
    }
    // The second thread starts on the instance nodes while this one makes
    // the mesh and writes; both write nodes until none is left.
    RunBeside([&] { instanceText.Fill(); }, write);
}

}  // namespace kon
