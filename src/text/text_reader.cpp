#include <algorithm>
#include <array>
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

#include "driver/ascii_case.h"
#include "text/fixed_format.h"
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
// Every count must fit the 16-bit count words of a Kon archive.
constexpr std::int32_t kMaxSectionLines = 32767;
constexpr std::size_t kCopyChunk = std::size_t{1} << 16;
constexpr std::int32_t kLowestIndex = std::numeric_limits<std::int16_t>::min();

constexpr std::string_view kTextMark = "KON";
constexpr std::string_view kPolygonKeyword = "Flaechen";
constexpr std::string_view kInstanceKeyword = "ScalX";
constexpr std::size_t kInstanceReals = 6;  // three scales, three rotations
constexpr std::size_t kInstanceInts = 3;

// Narrower fields keep the low bits of the 32-bit value.
std::uint8_t Low8(std::int32_t value) {
    return static_cast<std::uint8_t>(value);
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

class TextReader {
  public:
    TextReader(KonModell& model, Console& console, LineReader& lines, std::string_view inputPath)
        : model_(model), console_(console), lines_(lines), inputPath_(inputPath) {}

    int Read() {
        if (!ReadHeader() || !CountSections()) return 0;
        // The reading pass walks the same lines again, behind the two
        // header lines checked above.
        TextLine line;
        if (!lines_.Rewind() || !lines_.Next(line) || !lines_.Next(line)) return FailRead();
        lineNumber_ = 2;
        if (!ReadPoints() || !ReadPolygons() || !ReadInstances()) return 0;
        // A file rewritten between the passes must not give a model that
        // mixes both versions.
        if (!lines_.SameAsFirstPass()) return FailRead();
        return StreamFailed() ? Fail("") : 1;
    }

  private:
    // A failure of the stream overrides whatever it made the text look like.
    bool Fail(std::string_view message) {
        if (lines_.ReadFailed() || !lines_.SameAsFirstPass()) {
            console_.ReportAndWait("Fehler beim Lesen von " + std::string(inputPath_) + "!\n");
        } else {
            console_.ReportAndWait(message);
        }
        return false;
    }
    bool FailAtLine(std::string_view message, std::int32_t lineNumber) {
        std::string text(message);
        AppendSigned(text, lineNumber);
        return Fail(text + "!\n");
    }
    bool FailInstanceFormat() {
        return FailAtLine("falsches Instanzformat in Zeile ", lineNumber_);
    }
    // The file no longer reads as it did in the counting pass (it changed
    // in between, or cannot be read again).
    bool FailRead() {
        console_.ReportAndWait("Fehler beim Lesen von " + std::string(inputPath_) + "!\n");
        return false;
    }
    bool StreamFailed() const { return lines_.ReadFailed(); }

    bool ReadHeader();
    bool CountSections();
    bool ReadPoints();
    bool ReadPolygons();
    bool ReadInstances();

    KonModell& model_;
    Console& console_;
    LineReader& lines_;
    std::string_view inputPath_;
    char separator_ = ';';
    std::int32_t lineNumber_ = 0;
};

bool TextReader::ReadHeader() {
    TextLine line;
    const bool hasHeader = lines_.Next(line);
    const std::string_view header = line.Text();
    // The line end counts as a character: "KON;" with its line end has a fifth.
    const std::size_t length = header.size() + (line.hasLineEnd ? 1 : 0);
    if (!hasHeader || !StartsWithIgnoreCase(header, kTextMark) || length < 5) {
        return Fail("Falsches Kon-Format!\n");
    }
    separator_ = header[3];
    const std::string_view tag = header.substr(4);
    if (StartsWithIgnoreCase(tag, "TAV")) {
        model_.Variante = kVarianteTav;
    } else if (StartsWithIgnoreCase(tag, "MOLK")) {
        model_.Variante = kVarianteMolk;
    } else {
        return Fail("Falscher Kon-Typ!\n");
    }
    if (!lines_.Next(line) || line.content.empty() ||
        (line.content[0] != 'X' && line.content[0] != 'x')) {
        return Fail("Punkteliste nicht gefunden!\n");
    }
    return true;
}

// Sizes the arrays from the lines of each section, blank ones included.
bool TextReader::CountSections() {
    LineReader& lines = lines_;
    std::array<std::int32_t, 3> counts = {0, 0, 0};
    constexpr std::array<std::string_view, 2> kKeywords = {kPolygonKeyword, kInstanceKeyword};
    std::size_t section = 0;
    std::int32_t lineNumber = 2;
    TextLine line;
    while (lines.Next(line)) {
        ++lineNumber;
        if (section < kKeywords.size() && StartsWithIgnoreCase(line.Text(), kKeywords[section])) {
            ++section;
            continue;
        }
        // Every count stays at most kMaxSectionLines, and so does every array.
        if (counts[section] == kMaxSectionLines) {
            return FailAtLine("zu viele Zeilen in Zeile ", lineNumber);
        }
        ++counts[section];
    }
    if (StreamFailed()) return Fail("");
    if (section == 0) return Fail("Flaechenliste nicht gefunden!\n");
    if (section == 1) return Fail("Instanzen nicht gefunden!\n");

    model_.PunktAnzahl = counts[0];
    model_.FlaechenAnzahl = counts[1];
    model_.InstanzAnzahl = counts[2];
    model_.Punkte.resize(static_cast<std::size_t>(counts[0]) + 3);
    model_.Flaechenliste.resize(static_cast<std::size_t>(counts[1]));
    model_.Instanzen.resize(static_cast<std::size_t>(counts[2]));
    return true;
}

// The reading pass makes at most one record of each line the counting pass
// counted; a file that grew in between fails at the checks below before any
// count outgrows its array.

bool TextReader::ReadPoints() {
    model_.PunktAnzahl = 0;
    TextLine line;
    while (lines_.Next(line)) {
        ++lineNumber_;
        if (StartsWithIgnoreCase(line.Text(), kPolygonKeyword)) return true;
        if (static_cast<std::size_t>(model_.PunktAnzahl) + 3 >= model_.Punkte.size()) {
            return FailRead();
        }
        CObPunkt& point = model_.Punkte[static_cast<std::size_t>(model_.PunktAnzahl)];
        point = CObPunkt{};
        FieldCursor fields(line.content, separator_);
        if (!fields.NextInt(point.X)) continue;
        for (std::int32_t* coordinate : {&point.Y, &point.Z}) {
            if (!fields.NextInt(*coordinate))
                return FailAtLine("falsches Punktformat in Zeile ", lineNumber_);
        }
        ++model_.PunktAnzahl;
        ReadPointExtras(point, fields);
    }
    return true;
}

bool TextReader::ReadPolygons() {
    model_.FlaechenAnzahl = 0;
    TextLine line;
    while (lines_.Next(line)) {
        ++lineNumber_;
        if (StartsWithIgnoreCase(line.Text(), kInstanceKeyword)) return true;
        FieldCursor fields(line.content, separator_);
        std::int32_t index = 0;
        if (!fields.NextInt(index)) continue;
        if (static_cast<std::size_t>(model_.FlaechenAnzahl) >= model_.Flaechenliste.size()) {
            return FailRead();
        }
        Flaeche& polygon = model_.Flaechenliste[static_cast<std::size_t>(model_.FlaechenAnzahl)];
        ++model_.FlaechenAnzahl;
        do {
            // Checked at 32 bits before it is narrowed, so 65536 cannot pass as 0.
            if (index < kLowestIndex || index >= model_.PunktAnzahl) {
                std::string message = "falscher Punkt ";
                AppendSigned(message, index);
                return FailAtLine(message + " in Zeile ", lineNumber_);
            }
            AppendCorner(polygon, static_cast<std::int16_t>(index));
        } while (fields.NextInt(index));
    }
    return true;
}

bool TextReader::ReadInstances() {
    model_.InstanzAnzahl = 0;
    TextLine line;
    while (lines_.Next(line)) {
        ++lineNumber_;
        FieldCursor fields(line.content, separator_);
        std::array<double, kInstanceReals> reals{};
        std::array<std::int32_t, kInstanceInts> ints{};
        if (!fields.NextReal(reals[0])) continue;
        // The record is filled only once the row is known to be whole.
        for (std::size_t k = 1; k < kInstanceReals; ++k) {
            if (!fields.NextReal(reals[k])) return FailInstanceFormat();
        }
        for (std::int32_t& value : ints) {
            if (!fields.NextInt(value)) return FailInstanceFormat();
        }
        if (static_cast<std::size_t>(model_.InstanzAnzahl) >= model_.Instanzen.size()) {
            return FailRead();
        }
        CObFormat& instance = model_.Instanzen[static_cast<std::size_t>(model_.InstanzAnzahl)];
        instance.ScalX = NearestFloat(reals[0]);
        instance.ScalY = NearestFloat(reals[1]);
        instance.ScalZ = NearestFloat(reals[2]);
        instance.RotX = reals[3];
        instance.RotY = reals[4];
        instance.RotZ = reals[5];
        instance.MoveX = ints[0];
        instance.MoveY = ints[1];
        instance.MoveZ = ints[2];
        ++model_.InstanzAnzahl;
    }
    return true;
}

}  // namespace

int ReadKonText(KonModell& model, std::istream& in, Console& console, std::string_view inputPath) {
    ClearGeometry(model);
    const std::istream::pos_type start = in.tellg();
    if (start == std::istream::pos_type(-1)) {
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
            console.ReportAndWait("Fehler beim Lesen von " + std::string(inputPath) + "!\n");
            return 0;
        }
        std::istringstream copy(std::move(bytes));
        return ReadKonText(model, copy, console, inputPath);
    }
    in.seekg(0, std::ios::end);
    const std::istream::pos_type stop = in.tellg();
    in.clear();
    in.seekg(start);
    const std::size_t size =
        stop > start ? static_cast<std::size_t>(static_cast<std::streamoff>(stop - start)) : 0;
    LineReader lines(in, size);
    return TextReader(model, console, lines, inputPath).Read();
}

}  // namespace kon
