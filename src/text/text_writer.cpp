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

// A count of the model limited to what its array holds, so a model whose
// counts disagree with its arrays is never read out of bounds.
std::size_t RowCount(std::int32_t count, std::size_t room) {
    return count <= 0 ? 0 : std::min(static_cast<std::size_t>(count), room);
}

// The text chunk with the file's separator.
class RowWriter {
  public:
    RowWriter(std::ostream& out, char separator) : chunk_(out), separator_(separator) {}

    TextChunk& Chunk() { return chunk_; }
    void Separator() { chunk_.Append(separator_); }
    void Int(std::int64_t value) { chunk_.AppendInt(value); }
    void Line(std::initializer_list<std::string_view> fields) {
        bool first = true;
        for (const std::string_view field : fields) {
            if (!first) Separator();
            chunk_.Append(field);
            first = false;
        }
        EndLine();
    }
    void EndLine() { chunk_.Append(kLineEnd); }

  private:
    TextChunk chunk_;
    char separator_;
};

void WritePoint(RowWriter& writer, const CObPunkt& point) {
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
    WriteReal4(writer.Chunk(), point.TexX);
    writer.Separator();
    WriteReal4(writer.Chunk(), point.TexY);
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

void WritePolygon(RowWriter& writer, const Flaeche& polygon) {
    const std::size_t corners = RowCount(polygon.Anzahl, 4 + polygon.WeitereEcken.size());
    for (std::size_t j = 0; j < corners; ++j) {
        if (j != 0) writer.Separator();
        writer.Int(Ecke(polygon, j));
    }
    writer.EndLine();
}

void WriteInstance(RowWriter& writer, const CObFormat& instance) {
    for (const float scale : {instance.ScalX, instance.ScalY, instance.ScalZ}) {
        WriteReal4(writer.Chunk(), scale);
        writer.Separator();
    }
    for (const double rotation : {instance.RotX, instance.RotY, instance.RotZ}) {
        WriteReal2(writer.Chunk(), rotation);
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

void WriteReal4(TextChunk& out, float value) {
    out.Commit(FormatFixed(out.Room(kMaxFixedChars), static_cast<double>(value), 4, kDecimalComma));
}

void WriteReal2(TextChunk& out, double value) {
    out.Commit(FormatFixed(out.Room(kMaxFixedChars), value, 2, kDecimalComma));
}

void WriteKonText(const KonModell& model, std::ostream& out, char separator) {
    RowWriter writer(out, separator);
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
