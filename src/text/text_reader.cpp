#include <algorithm>
#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <limits>
#include <new>
#include <span>
#include <sstream>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/faults.h"
#include "model/integer_text.h"
#include "model/limits.h"
#include "model/run_beside.h"
#include "text/ascii_case.h"
#include "text/kon_text.h"
#include "text/parse_number.h"
#include "text/text_lines.h"

namespace kon {

namespace {

// The corners of a polygon and the supplement entries of a point are counted
// in 32 bits; a row with more than that is more than the model can hold.
constexpr std::size_t kMaxRowItems = std::numeric_limits<std::int32_t>::max();

void EnsureRoomForOneMore(std::size_t items) {
    if (items >= kMaxRowItems) throw std::bad_alloc();
}
constexpr std::size_t kCopyChunk = std::size_t{1} << 16;
constexpr std::int32_t kLowestIndex = std::numeric_limits<std::int16_t>::min();
// A quoted line in an explanation shows at most this many bytes.
constexpr std::size_t kQuoteLength = 40;

constexpr std::string_view kPolygonKeyword = "Flaechen";
constexpr std::string_view kInstanceKeyword = "ScalX";
constexpr std::size_t kInstanceReals = 6;  // three scales, three rotations
constexpr std::size_t kInstanceInts = 3;

// Narrower fields keep the low bits of the 32-bit value.
std::uint8_t Low8(std::int32_t value) {
    return static_cast<std::uint8_t>(value);
}

// Appended piece by piece: MinGW's g++ 12 misreads "'" + string as an
// overlapping copy (-Wrestrict).
std::string Quote(std::string_view text) {
    std::string quoted(1, '\'');
    if (text.size() <= kQuoteLength) return quoted.append(text).append(1, '\'');
    return quoted.append(text.substr(0, kQuoteLength)).append("...'");
}

// Colour, texture and then the supplement groups; the first missing field
// ends the row and leaves the rest 0.
void ReadPointExtras(CObPunkt& point, FieldCursor& fields) {
    std::int32_t value = 0;
    for (std::uint8_t* colour : {&point.R, &point.G, &point.B}) {
        if (!fields.NextInt(value)) return;
        *colour = Low8(value);
    }
    if (!fields.NextInt(point.TexId)) return;
    for (float* texture : {&point.TexX, &point.TexY}) {
        double real = 0.0;
        if (!fields.NextReal(real)) return;
        *texture = NearestFloat(real);
    }
    while (fields.NextInt(value)) {
        EnsureRoomForOneMore(point.Zusatz.size());
        PunktZusatz& entry = point.Zusatz.emplace_back();
        entry.Kennung = Low8(value);
        for (std::uint8_t* wert : {&entry.Wert1, &entry.Wert2, &entry.Wert3}) {
            if (!fields.NextInt(value)) break;
            *wert = Low8(value);
        }
    }
    point.ZusatzAnzahl = static_cast<std::int32_t>(point.Zusatz.size());
    if (point.ZusatzAnzahl != 0) point.Marke = kZusatzMarke;
}

// Doubling the room ahead of AppendEcke keeps a row of a million corners
// linear whatever the library's resize does.
void AppendCorner(Flaeche& polygon, std::int16_t index) {
    EnsureRoomForOneMore(static_cast<std::size_t>(polygon.Anzahl));
    auto& more = polygon.WeitereEcken;
    if (polygon.Anzahl >= 4 && more.size() == more.capacity()) {
        more.reserve(std::max<std::size_t>(8, 2 * more.capacity()));
    }
    AppendEcke(polygon, index);
}

enum class Row { kSkipped, kRead, kBroken };

// An instance row: six reals, then three integers. A row without its first
// field is skipped; one that starts but is not whole is broken.
Row ReadInstanceRow(const TextLine& line, char separator, CObFormat& instance) {
    FieldCursor fields(line.content, separator);
    std::array<double, kInstanceReals> reals{};
    std::array<std::int32_t, kInstanceInts> ints{};
    if (!fields.NextReal(reals[0])) return Row::kSkipped;
    for (std::size_t k = 1; k < kInstanceReals; ++k) {
        if (!fields.NextReal(reals[k])) return Row::kBroken;
    }
    for (std::int32_t& value : ints) {
        if (!fields.NextInt(value)) return Row::kBroken;
    }
    instance.ScalX = NearestFloat(reals[0]);
    instance.ScalY = NearestFloat(reals[1]);
    instance.ScalZ = NearestFloat(reals[2]);
    instance.RotX = reals[3];
    instance.RotY = reals[4];
    instance.RotZ = reals[5];
    instance.MoveX = ints[0];
    instance.MoveY = ints[1];
    instance.MoveZ = ints[2];
    return Row::kRead;
}

// A long instance section is read in pieces of this many lines, by this
// thread and a second one alike, each taking the next piece not yet taken, so
// both end together however fast each runs. Below kThreadedInstanceRows lines
// a second thread costs more than it saves.
constexpr std::int32_t kPieceLines = 1024;
constexpr std::int32_t kThreadedInstanceRows = 4 * kPieceLines;

struct InstancePiece {
    std::span<char> text;          // whole lines of a text held whole
    std::int32_t headingLine = 0;  // the number of the line before them
    std::size_t firstRow = 0;      // the lines before them in the section
    // Filled by the reading: the rows made, written from firstRow on, and
    // the first row that is not whole, if any.
    std::size_t rows = 0;
    std::int32_t brokenLine = 0;
    std::string_view brokenRow;
};

// Reads the pieces into `instances`, sized to the section's lines: piece k
// writes from its firstRow on, which no earlier piece's rows reach. Gather
// then closes the gaps that skipped lines leave.
class InstancePieces {
  public:
    InstancePieces(std::vector<InstancePiece>& pieces, std::vector<CObFormat>& instances,
                   char separator, bool mayHoldNul)
        : pieces_(pieces), instances_(instances), separator_(separator), mayHoldNul_(mayHoldNul) {}

    // Takes pieces until none is left, or until Stop.
    void Work() {
        for (std::size_t k = next_.fetch_add(1); k < pieces_.size(); k = next_.fetch_add(1)) {
            if (stop_.load(std::memory_order_relaxed)) return;
            Read(pieces_[k]);
        }
    }
    void Stop() { stop_.store(true, std::memory_order_relaxed); }

    // Once no piece is being read: the rows up to the first broken one moved
    // together; that piece, or null.
    const InstancePiece* Gather() {
        std::size_t rows = 0;
        for (const InstancePiece& piece : pieces_) {
            std::move(instances_.begin() + static_cast<std::ptrdiff_t>(piece.firstRow),
                      instances_.begin() + static_cast<std::ptrdiff_t>(piece.firstRow + piece.rows),
                      instances_.begin() + static_cast<std::ptrdiff_t>(rows));
            rows += piece.rows;
            if (piece.brokenLine != 0) {
                instances_.resize(rows);
                return &piece;
            }
        }
        instances_.resize(rows);
        return nullptr;
    }

  private:
    void Read(InstancePiece& piece) {
        HeldLines lines(piece.text, mayHoldNul_);
        std::int32_t lineNumber = piece.headingLine;
        TextLine line;
        while (lines.Next(line)) {
            ++lineNumber;
            CObFormat& instance = instances_[piece.firstRow + piece.rows];
            const Row row = ReadInstanceRow(line, separator_, instance);
            if (row == Row::kSkipped) continue;
            if (row == Row::kBroken) {
                piece.brokenLine = lineNumber;
                piece.brokenRow = line.Text();
                return;
            }
            ++piece.rows;
        }
    }

    std::vector<InstancePiece>& pieces_;
    std::vector<CObFormat>& instances_;
    char separator_;
    bool mayHoldNul_;
    std::atomic<std::size_t> next_{0};
    std::atomic<bool> stop_{false};
};

Location Line(std::int32_t number) {
    return Location{Location::Unit::kLine, static_cast<std::uint64_t>(number)};
}

class TextReader {
  public:
    TextReader(KonModell& model, LineReader& lines, std::string_view name, Diagnostics& out)
        : model_(model), lines_(lines), name_(name), diagnostics_(out) {}

    void Read() {
        if (!ReadHeader() || !CountSections()) return;
        // The reading pass walks the same lines again, behind the two
        // header lines checked above.
        TextLine line;
        if (!lines_.Rewind() || !lines_.Next(line) || !lines_.Next(line)) {
            FailChanged();
            return;
        }
        lineNumber_ = 2;
        if (lines_.HoldsWholeText() && counted_[2] >= kThreadedInstanceRows) {
            if (!ReadPointsAndPolygonsBesideInstances()) return;
        } else if (!ReadPoints() || !ReadPolygons() || !ReadInstances()) {
            return;
        }
        // A file rewritten between the passes must not give a model that
        // mixes both versions; a failed read shows here too (FailChanged
        // reports it as what it is).
        if (!lines_.SameAsFirstPass()) FailChanged();
    }

  private:
    // A failure of the stream overrides whatever it made the text look like.
    bool Fail(FaultKind kind, std::string message, std::string explanation, std::int32_t line) {
        if (lines_.ReadFailed()) return FailDevice();
        // What looks like a fault may only be the other version of the file.
        if (!lines_.SameAsFirstPass()) return FailChanged();
        diagnostics_.items.push_back(Diagnostic{Severity::kError, kind, std::move(message),
                                                std::move(explanation), Line(line)});
        return false;
    }
    bool FailAtLine(FaultKind kind, std::string_view message, std::string explanation) {
        return Fail(kind, std::string(message) + Decimal(lineNumber_) + "!\n",
                    std::move(explanation), lineNumber_);
    }
    bool FailInstanceFormat(std::string_view row) {
        return FailAtLine(FaultKind::kBadInstanceRow, "falsches Instanzformat in Zeile ",
                          "expected 6 reals and 3 integers ScalX..MoveZ, found " + Quote(row));
    }
    bool FailDevice() {
        diagnostics_.items.push_back(ReadFault(name_, "the input could not be read"));
        return false;
    }
    // The file no longer reads as it did in the counting pass: it changed in
    // between, or a read failed (which is the device's fault, not the file's).
    bool FailChanged() {
        if (lines_.ReadFailed()) return FailDevice();
        diagnostics_.items.push_back(
            ReadFault(name_, "the file changed while it was read", Line(lineNumber_)));
        return false;
    }

    bool ReadHeader();
    bool CountSections();
    bool ReadPoints();
    bool ReadPolygons();
    bool ReadInstances();
    bool ReadPointsAndPolygonsBesideInstances();

    KonModell& model_;
    LineReader& lines_;
    std::string_view name_;
    Diagnostics& diagnostics_;
    char separator_ = ';';
    std::int32_t lineNumber_ = 0;
    // The lines of each section in the counting pass, blank ones included:
    // the reading pass makes at most one record of each.
    std::array<std::int32_t, 3> counted_ = {0, 0, 0};
    // The instance section in pieces, found by the counting pass; only for a
    // text held whole.
    std::vector<InstancePiece> instancePieces_;
    std::int32_t lastLine_ = 0;  // the number of the text's last line
};

bool TextReader::ReadHeader() {
    TextLine line;
    const bool hasHeader = lines_.Next(line);
    const std::string_view header = line.Text();
    // The line end counts as a character: "KON;" with its line end has a fifth.
    const std::size_t length = header.size() + (line.hasLineEnd ? 1 : 0);
    if (!hasHeader || !StartsWithIgnoreCase(header, kTextMark) || length < 5) {
        return Fail(FaultKind::kNotKonText, "Falsches Kon-Format!\n",
                    "expected a first line starting with KON and a separator, found " +
                        (hasHeader ? Quote(header) : std::string("an empty file")),
                    1);
    }
    separator_ = header[3];
    const std::string_view tag = header.substr(4);
    if (StartsWithIgnoreCase(tag, "TAV")) {
        model_.Variante = kVarianteTav;
    } else if (StartsWithIgnoreCase(tag, "MOLK")) {
        model_.Variante = kVarianteMolk;
    } else {
        return Fail(FaultKind::kBadVariant, "Falscher Kon-Typ!\n",
                    "expected MOLK or TAV behind the separator, found " + Quote(tag), 1);
    }
    if (!lines_.Next(line) || line.content.empty() ||
        (line.content[0] != 'X' && line.content[0] != 'x')) {
        return Fail(FaultKind::kMissingSection, "Punkteliste nicht gefunden!\n",
                    "expected the point heading starting with X, found " + Quote(line.Text()), 2);
    }
    return true;
}

bool TextReader::CountSections() {
    constexpr std::array<std::string_view, 2> kKeywords = {kPolygonKeyword, kInstanceKeyword};
    std::size_t section = 0;
    std::int32_t lineNumber = 2;
    TextLine line;
    while (lines_.Next(line)) {
        ++lineNumber;
        if (section < kKeywords.size() && StartsWithIgnoreCase(line.Text(), kKeywords[section])) {
            ++section;
            continue;
        }
        if (section == 2 && counted_[2] % kPieceLines == 0 && lines_.HoldsWholeText()) {
            InstancePiece& piece = instancePieces_.emplace_back();
            piece.text = {line.content.data(), line.content.data()};
            piece.headingLine = lineNumber - 1;
            piece.firstRow = static_cast<std::size_t>(counted_[2]);
        }
        // Every count stays at most kMaxItems, and so does every array.
        if (counted_[section] == kMaxItems) {
            return Fail(FaultKind::kTooManyLines,
                        "zu viele Zeilen in Zeile " + Decimal(lineNumber) + "!\n",
                        "expected at most 32767 lines in a section, found more", lineNumber);
        }
        ++counted_[section];
    }
    // A failed read ends the lines early; Fail below and the refused Rewind
    // of the reading pass both report it as a read error.
    if (section == 0) {
        return Fail(FaultKind::kMissingSection, "Flaechenliste nicht gefunden!\n",
                    "expected a line starting with Flaechen, found the end of the file",
                    lineNumber);
    }
    if (section == 1) {
        return Fail(FaultKind::kMissingSection, "Instanzen nicht gefunden!\n",
                    "expected a line starting with ScalX, found the end of the file", lineNumber);
    }
    lastLine_ = lineNumber;
    // Each piece runs up to the next one's start, the last to the text's end.
    for (std::size_t k = 0; k < instancePieces_.size(); ++k) {
        char* const end = k + 1 < instancePieces_.size() ? instancePieces_[k + 1].text.data()
                                                         : lines_.RestFromHere().data();
        instancePieces_[k].text = {instancePieces_[k].text.data(), end};
    }
    model_.Punkte.reserve(static_cast<std::size_t>(counted_[0]));
    model_.Flaechenliste.reserve(static_cast<std::size_t>(counted_[1]));
    model_.Instanzen.reserve(static_cast<std::size_t>(counted_[2]));
    return true;
}

// A file that grew between the passes fails at the checks against counted_
// below before any array outgrows its reservation.

bool TextReader::ReadPoints() {
    TextLine line;
    while (lines_.Next(line)) {
        ++lineNumber_;
        if (StartsWithIgnoreCase(line.Text(), kPolygonKeyword)) return true;
        if (model_.Punkte.size() >= static_cast<std::size_t>(counted_[0])) return FailChanged();
        CObPunkt& point = model_.Punkte.emplace_back();
        FieldCursor fields(line.content, separator_);
        if (!fields.NextInt(point.X)) {
            model_.Punkte.pop_back();
            continue;
        }
        for (std::int32_t* coordinate : {&point.Y, &point.Z}) {
            if (!fields.NextInt(*coordinate)) {
                return FailAtLine(
                    FaultKind::kBadPointRow, "falsches Punktformat in Zeile ",
                    "expected 3 integer coordinates X;Y;Z, found " + Quote(line.Text()));
            }
        }
        ReadPointExtras(point, fields);
    }
    return true;
}

bool TextReader::ReadPolygons() {
    const auto points = static_cast<std::int32_t>(model_.Punkte.size());
    TextLine line;
    while (lines_.Next(line)) {
        ++lineNumber_;
        if (StartsWithIgnoreCase(line.Text(), kInstanceKeyword)) return true;
        FieldCursor fields(line.content, separator_);
        std::int32_t index = 0;
        if (!fields.NextInt(index)) continue;
        if (model_.Flaechenliste.size() >= static_cast<std::size_t>(counted_[1])) {
            return FailChanged();
        }
        Flaeche& polygon = model_.Flaechenliste.emplace_back();
        do {
            // Checked at 32 bits before it is narrowed, so 65536 cannot pass as 0.
            if (index < kLowestIndex || index >= points) {
                return FailAtLine(FaultKind::kBadPointIndex,
                                  "falscher Punkt " + Decimal(index) + " in Zeile ",
                                  "expected a point index below " + Decimal(points) + ", found " +
                                      Decimal(index));
            }
            AppendCorner(polygon, static_cast<std::int16_t>(index));
        } while (fields.NextInt(index));
    }
    return true;
}

bool TextReader::ReadInstances() {
    TextLine line;
    while (lines_.Next(line)) {
        ++lineNumber_;
        CObFormat instance;
        const Row row = ReadInstanceRow(line, separator_, instance);
        if (row == Row::kSkipped) continue;
        if (row == Row::kBroken) return FailInstanceFormat(line.Text());
        if (model_.Instanzen.size() >= static_cast<std::size_t>(counted_[2])) return FailChanged();
        model_.Instanzen.push_back(instance);
    }
    return true;
}

// The points and polygons, while a second thread reads instance pieces; then
// the pieces left. Faults come in line order, as from ReadInstances.
bool TextReader::ReadPointsAndPolygonsBesideInstances() {
    model_.Instanzen.resize(static_cast<std::size_t>(counted_[2]));
    InstancePieces pieces(instancePieces_, model_.Instanzen, separator_, lines_.MayHoldNul());
    bool read = false;
    bool faulted = false;  // a fault in the points or polygons was reported
    try {
        RunBeside([&pieces] { pieces.Work(); },
                  [&] {
                      try {
                          read = ReadPoints() && ReadPolygons();
                      } catch (...) {
                          pieces.Stop();
                          throw;
                      }
                      faulted = !read;
                      if (read) {
                          pieces.Work();
                      } else {
                          pieces.Stop();
                      }
                  });
    } catch (const std::bad_alloc&) {
        // A fault before the instances stands alone, as if they had never
        // been read, also when memory ran out for them meanwhile.
        if (!faulted) throw;
    }
    if (!read) {
        model_.Instanzen.clear();
        return false;
    }
    if (const InstancePiece* broken = pieces.Gather()) {
        lineNumber_ = broken->brokenLine;
        return FailInstanceFormat(broken->brokenRow);
    }
    lineNumber_ = lastLine_;
    return true;
}

void ReadSeekable(std::istream& in, std::string_view name, KonModell& model,
                  Diagnostics& diagnostics) {
    const std::istream::pos_type start = in.tellg();
    in.seekg(0, std::ios::end);
    const std::istream::pos_type stop = in.tellg();
    in.clear();
    in.seekg(start);
    const std::size_t size =
        stop > start ? static_cast<std::size_t>(static_cast<std::streamoff>(stop - start)) : 0;
    LineReader lines(in, size);
    TextReader(model, lines, name, diagnostics).Read();
}

}  // namespace

bool LooksLikeKonText(std::string_view head) {
    if (head.starts_with(kUtf8Bom)) head.remove_prefix(kUtf8Bom.size());
    return StartsWithIgnoreCase(head, kTextMark);
}

Diagnostics ReadKonText(std::istream& in, std::string_view name, KonModell& model) {
    model = KonModell{};
    Diagnostics diagnostics;
    try {
        if (in.tellg() != std::istream::pos_type(-1)) {
            ReadSeekable(in, name, model, diagnostics);
            return diagnostics;
        }
        // Two passes need a stream that can go back: one that cannot is
        // copied into one that can (files always can).
        std::string bytes;
        std::string chunk(kCopyChunk, '\0');
        for (;;) {
            in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
            bytes.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
            if (!in) break;
        }
        if (in.bad()) {
            diagnostics.items.push_back(ReadFault(name, "the input could not be read"));
            return diagnostics;
        }
        std::istringstream copy(std::move(bytes));
        ReadSeekable(copy, name, model, diagnostics);
    } catch (const std::bad_alloc&) {
        diagnostics.items.push_back(OutOfMemoryFault());
    }
    return diagnostics;
}

}  // namespace kon
