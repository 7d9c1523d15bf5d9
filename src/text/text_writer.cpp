#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <ostream>
#include <string>
#include <string_view>

#include "text/fixed_format.h"
#include "text/kon_text.h"
#include "text/write_real.h"

namespace kon {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr char kDecimalComma = ',';
// Rows are collected into a block of about this size before each write.
constexpr std::size_t kChunkSize = std::size_t{1} << 16;

// A count of the model limited to what its array holds, so a model whose
// counts disagree with its arrays is never read out of bounds.
std::size_t RowCount(std::int32_t count, std::size_t room) {
    return count <= 0 ? 0 : std::min(static_cast<std::size_t>(count), room);
}

class ChunkWriter {
  public:
    ChunkWriter(std::ostream& out, char separator) : out_(out), separator_(separator) {
        chunk_.reserve(kChunkSize + kChunkSize / 4);
    }
    ChunkWriter(const ChunkWriter&) = delete;
    ChunkWriter& operator=(const ChunkWriter&) = delete;
    ~ChunkWriter() { Flush(); }

    std::string& Text() { return chunk_; }
    void Separator() { chunk_ += separator_; }
    void Int(std::int64_t value) { AppendSigned(chunk_, value); }
    void Line(std::initializer_list<std::string_view> fields) {
        bool first = true;
        for (const std::string_view field : fields) {
            if (!first) Separator();
            chunk_ += field;
            first = false;
        }
        EndLine();
    }
    void EndLine() {
        chunk_ += kLineEnd;
        if (chunk_.size() >= kChunkSize) Flush();
    }

  private:
    void Flush() {
        out_.write(chunk_.data(), static_cast<std::streamsize>(chunk_.size()));
        chunk_.clear();
    }

    std::ostream& out_;
    char separator_;
    std::string chunk_;
};

void WritePoint(ChunkWriter& writer, const CObPunkt& point) {
    for (const std::int32_t value : {point.X, point.Y, point.Z}) {
        writer.Int(value);
        writer.Separator();
    }
    for (const std::uint8_t colour : {point.R, point.G, point.B}) {
        writer.Int(colour);
        writer.Separator();
    }
    writer.Int(point.TexId);
    writer.Separator();
    WriteReal4(writer.Text(), point.TexX);
    writer.Separator();
    WriteReal4(writer.Text(), point.TexY);
    const std::size_t entries = RowCount(point.ZusatzAnzahl, point.Zusatz.size());
    for (std::size_t i = 0; i < entries; ++i) {
        const PunktZusatz& entry = point.Zusatz[i];
        for (const std::uint8_t value : {entry.Kennung, entry.Wert1, entry.Wert2, entry.Wert3}) {
            writer.Separator();
            writer.Int(value);
        }
    }
    writer.EndLine();
}

void WritePolygon(ChunkWriter& writer, const Flaeche& polygon) {
    const std::size_t corners = RowCount(polygon.Anzahl, 4 + polygon.WeitereEcken.size());
    for (std::size_t j = 0; j < corners; ++j) {
        if (j != 0) writer.Separator();
        writer.Int(Ecke(polygon, j));
    }
    writer.EndLine();
}

void WriteInstance(ChunkWriter& writer, const CObFormat& instance) {
    for (const float scale : {instance.ScalX, instance.ScalY, instance.ScalZ}) {
        WriteReal4(writer.Text(), scale);
        writer.Separator();
    }
    for (const double rotation : {instance.RotX, instance.RotY, instance.RotZ}) {
        WriteReal2(writer.Text(), rotation);
        writer.Separator();
    }
    writer.Int(instance.MoveX);
    writer.Separator();
    writer.Int(instance.MoveY);
    writer.Separator();
    writer.Int(instance.MoveZ);
    writer.EndLine();
}

}  // namespace

void WriteReal4(std::string& out, float value) {
    AppendFixed(out, static_cast<double>(value), 4, kDecimalComma);
}

void WriteReal2(std::string& out, double value) {
    AppendFixed(out, value, 2, kDecimalComma);
}

void WriteKonText(const KonModell& model, std::ostream& out, char separator) {
    ChunkWriter writer(out, separator);
    writer.Line({"KON", model.Variante == kVarianteMolk ? "MOLK" : "TAV"});
    writer.Line({"X", "Y", "Z", "R", "G", "B", "TexId", "TexX", "TexY"});
    const std::size_t points = RowCount(model.PunktAnzahl, model.Punkte.size());
    for (std::size_t i = 0; i < points; ++i) WritePoint(writer, model.Punkte[i]);
    writer.Line({"Flaechen"});
    const std::size_t polygons = RowCount(model.FlaechenAnzahl, model.Flaechenliste.size());
    for (std::size_t i = 0; i < polygons; ++i) WritePolygon(writer, model.Flaechenliste[i]);
    writer.Line({"ScalX", "ScalY", "ScalZ", "RotX", "RotY", "RotZ", "MoveX", "MoveY", "MoveZ"});
    const std::size_t instances = RowCount(model.InstanzAnzahl, model.Instanzen.size());
    for (std::size_t i = 0; i < instances; ++i) WriteInstance(writer, model.Instanzen[i]);
}

}  // namespace kon
