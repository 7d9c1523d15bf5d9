#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "model/limits.h"
#include "text/fixed_text.h"
#include "text/kon_text.h"
#include "text/text_chunk.h"

namespace kon {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr char kDecimalComma = ',';

// A count limited to what its array holds, so a supplement count or a
// polygon that disagrees with its array is never read out of bounds.
std::size_t RowCount(std::int32_t count, std::size_t room) {
    return count <= 0 ? 0 : std::min(static_cast<std::size_t>(count), room);
}

// Room for one field and the separator or line end behind it.
constexpr std::size_t kIntRoom = kMaxIntegerChars + kLineEnd.size();
constexpr std::size_t kRealRoom = kMaxFixedChars + kLineEnd.size();
// Corners of a long polygon row are formatted in batches of this many.
constexpr std::size_t kCornerBatch = 256;

// Formats the fields of a row, or of a part of one, into room the chunk made
// for all of them at once, so no field checks for room on its own.
class RowCursor {
  public:
    RowCursor(TextChunk& chunk, std::size_t room, char separator)
        : chunk_(chunk), pos_(chunk.Room(room)), separator_(separator) {}
    RowCursor(const RowCursor&) = delete;
    RowCursor& operator=(const RowCursor&) = delete;
    ~RowCursor() { chunk_.Commit(pos_); }

    void Int(std::int64_t value) { pos_ = PutSigned(pos_, value); }
    template <int Decimals>
    void Real(double value) {
        pos_ = PutFixedOf<Decimals>(pos_, value, kDecimalComma);
    }
    void Separator() { *pos_++ = separator_; }
    void EndLine() {
        for (const char c : kLineEnd) *pos_++ = c;
    }

  private:
    TextChunk& chunk_;
    char* pos_;
    char separator_;
};

void WriteHeading(TextChunk& chunk, char separator,
                  std::initializer_list<std::string_view> fields) {
    bool first = true;
    for (const std::string_view field : fields) {
        if (!first) chunk.Append(separator);
        chunk.Append(field);
        first = false;
    }
    chunk.Append(kLineEnd);
}

void WritePoint(TextChunk& chunk, char separator, const CObPunkt& point) {
    {
        RowCursor row(chunk, 7 * kIntRoom + 2 * kRealRoom, separator);
        for (const std::int32_t value : {point.X, point.Y, point.Z}) {
            row.Int(value);
            row.Separator();
        }
        for (const std::uint8_t colour : {point.R, point.G, point.B}) {
            row.Int(colour);
            row.Separator();
        }
        row.Int(point.TexId);
        row.Separator();
        row.Real<4>(static_cast<double>(point.TexX));
        row.Separator();
        row.Real<4>(static_cast<double>(point.TexY));
    }
    const std::size_t entries = RowCount(point.ZusatzAnzahl, point.Zusatz.size());
    for (std::size_t i = 0; i < entries; ++i) {
        const PunktZusatz& entry = point.Zusatz[i];
        RowCursor row(chunk, 4 * kIntRoom, separator);
        for (const std::uint8_t value : {entry.Kennung, entry.Wert1, entry.Wert2, entry.Wert3}) {
            row.Separator();
            row.Int(value);
        }
    }
    chunk.Append(kLineEnd);
}

void WritePolygon(TextChunk& chunk, char separator, const Flaeche& polygon) {
    const std::size_t corners = RowCount(polygon.Anzahl, 4 + polygon.WeitereEcken.size());
    for (std::size_t batch = 0; batch < corners; batch += kCornerBatch) {
        const std::size_t batchEnd = std::min(corners, batch + kCornerBatch);
        RowCursor row(chunk, kCornerBatch * kIntRoom, separator);
        for (std::size_t j = batch; j < batchEnd; ++j) {
            if (j != 0) row.Separator();
            row.Int(Ecke(polygon, j));
        }
    }
    chunk.Append(kLineEnd);
}

void WriteInstance(TextChunk& chunk, char separator, const CObFormat& instance) {
    RowCursor row(chunk, 6 * kRealRoom + 3 * kIntRoom, separator);
    for (const float scale : {instance.ScalX, instance.ScalY, instance.ScalZ}) {
        row.Real<4>(static_cast<double>(scale));
        row.Separator();
    }
    for (const double rotation : {instance.RotX, instance.RotY, instance.RotZ}) {
        row.Real<2>(rotation);
        row.Separator();
    }
    row.Int(instance.MoveX);
    row.Separator();
    row.Int(instance.MoveY);
    row.Separator();
    row.Int(instance.MoveZ);
    row.EndLine();
}

}  // namespace

std::optional<Diagnostic> CheckFitsKonText(const KonModell& model) {
    // Every point, polygon and instance is one line of its section, and the
    // reader takes at most kMaxItems lines a section.
    for (const std::size_t lines :
         {model.Punkte.size(), model.Flaechenliste.size(), model.Instanzen.size()}) {
        if (lines > static_cast<std::size_t>(kMaxItems)) {
            Diagnostic d;
            d.kind = FaultKind::kTooLarge;
            d.explanation = "a section of " + std::to_string(lines) +
                            " lines; a Kon text file holds at most " + std::to_string(kMaxItems) +
                            " per section";
            return d;
        }
    }
    return std::nullopt;
}

void WriteKonText(const KonModell& model, std::ostream& out, char separator) {
    TextChunk chunk(out);
    WriteHeading(chunk, separator, {kTextMark, model.Variante == kVarianteMolk ? "MOLK" : "TAV"});
    WriteHeading(chunk, separator, {"X", "Y", "Z", "R", "G", "B", "TexId", "TexX", "TexY"});
    for (const CObPunkt& point : model.Punkte) WritePoint(chunk, separator, point);
    WriteHeading(chunk, separator, {"Flaechen"});
    for (const Flaeche& polygon : model.Flaechenliste) WritePolygon(chunk, separator, polygon);
    WriteHeading(chunk, separator,
                 {"ScalX", "ScalY", "ScalZ", "RotX", "RotY", "RotZ", "MoveX", "MoveY", "MoveZ"});
    for (const CObFormat& instance : model.Instanzen) WriteInstance(chunk, separator, instance);
}

}  // namespace kon
