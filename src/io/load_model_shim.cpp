// TEMPORARY: the io/load_model.h interface over today's readers, which still
// report through a Console. The dialogue is captured and its German messages
// are mapped to fault kinds. Dropped when the reshaped core is merged.

#include <charconv>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "archive/kon_archive.h"
#include "driver/console.h"
#include "driver/load_model.h"
#include "io/load_model.h"

namespace kon {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The number after `marker` in `text`, or 0.
std::uint64_t NumberAfter(std::string_view text, std::string_view marker) {
    const auto at = text.find(marker);
    if (at == std::string_view::npos) return 0;
    const std::string_view rest = text.substr(at + marker.size());
    std::uint64_t value = 0;
    std::from_chars(rest.data(), rest.data() + rest.size(), value);
    return value;
}

struct Mapping {
    std::string_view prefix;
    FaultKind kind;
    std::string_view explanation;
};

// konvert's messages by their start, most specific first.
constexpr Mapping kMappings[] = {
    {"Can't open", FaultKind::kCannotOpen, "cannot open the file for reading"},
    {"Fehler beim Lesen", FaultKind::kReadError, "the file could not be read to its end"},
    {"Nicht genug Speicher", FaultKind::kOutOfMemory, "the model does not fit in memory"},
    {"Unerwartetes Dateiende", FaultKind::kTruncated,
     "expected more bytes: the archive ends inside a value"},
    {"Falsche Versionskennung", FaultKind::kBadVersion,
     "expected the archive header word 2880 (MOLK) or 5760 (TAV), found another value"},
    {"Formatfehler 1 ", FaultKind::kBadFraming,
     "expected the format word 2025 (MOLK) or 4000 (TAV) after the header word"},
    {"Formatfehler Juhu", FaultKind::kBadFraming,
     "expected the reserved array to be empty, found a count"},
    {"Formatfehler 12", FaultKind::kBadFraming,
     "expected the class mark or escape between two point records"},
    {"Formatfehler 20", FaultKind::kBadFraming, "expected the class mark between two line records"},
    {"Formatfehler", FaultKind::kBadFraming,
     "expected a class header (new class tag 0xffff, schema 0 and the class name)"},
    {"Ungueltige Anzahl", FaultKind::kBadCount,
     "expected an array count from 0 to 32767, found a negative one"},
    {"Falscher Trenner", FaultKind::kBadFraming, "expected the class mark between two records"},
    {"Falscher Punkt", FaultKind::kBadPointIndex,
     "expected polygon corners that name existing points"},
    {"Anzahl Flaechen", FaultKind::kBadIndexStream,
     "expected at most 32767 polygons in the index stream"},
    {"Falsches Kon-Format", FaultKind::kNotKonText,
     "expected \"KON\", a separator and the variant on the first line"},
    {"Falscher Kon-Typ", FaultKind::kBadVariant,
     "expected the variant MOLK or TAV after \"KON\" and the separator"},
    {"Punkteliste nicht gefunden", FaultKind::kMissingSection,
     "expected the point heading (a line starting with X) on line 2"},
    {"Flaechenliste nicht gefunden", FaultKind::kMissingSection,
     "expected a line starting with \"Flaechen\" after the points, found the end of the file"},
    {"Instanzen nicht gefunden", FaultKind::kMissingSection,
     "expected a line starting with \"ScalX\" after the polygons, found the end of the file"},
    {"zu viele Zeilen", FaultKind::kTooManyLines,
     "expected at most 32767 lines in a section, found more"},
    {"falsches Punktformat", FaultKind::kBadPointRow,
     "expected a point row with its three coordinates X, Y and Z"},
    {"falscher Punkt", FaultKind::kBadPointIndex,
     "expected polygon corners that name existing points"},
    {"falsches Instanzformat", FaultKind::kBadInstanceRow,
     "expected an instance row of nine fields (three scales, three rotations, three moves)"},
    {"EOF not found", FaultKind::kTrailingBytes, "expected the end of the file after the archive"},
};

Diagnostic Classify(std::string_view message, KonForm form) {
    Diagnostic d;
    d.message = std::string(message);
    d.kind = FaultKind::kBadIndexStream;  // the Vert and N-Vert messages
    d.explanation = "expected the polygon index stream's markers and lengths";
    for (const Mapping& m : kMappings) {
        if (StartsWith(message, m.prefix)) {
            d.kind = m.kind;
            d.explanation = std::string(m.explanation);
            break;
        }
    }
    if (d.kind == FaultKind::kTrailingBytes) d.severity = Severity::kWarning;
    if (form == KonForm::kText) {
        if (message.find(" in Zeile ") != std::string_view::npos) {
            d.where = {Location::Unit::kLine, NumberAfter(message, " in Zeile ")};
        } else if (d.kind == FaultKind::kNotKonText || d.kind == FaultKind::kBadVariant) {
            d.where = {Location::Unit::kLine, 1};
        } else if (StartsWith(message, "Punkteliste")) {
            d.where = {Location::Unit::kLine, 2};
        }
    } else if (d.kind == FaultKind::kBadVersion) {
        d.where = {Location::Unit::kByte, 0};
    }
    return d;
}

// The captured dialogue: each report ends with "Return->"; the short
// diagnostic lines printed without a wait stand in front of it.
void Parse(const std::string& dialogue, KonForm form, Diagnostics& out) {
    constexpr std::string_view kWait = "Return->";
    std::string_view rest = dialogue;
    while (!rest.empty()) {
        const auto end = rest.find(kWait);
        std::string_view piece = rest.substr(0, end);
        while (StartsWith(piece, "I: ")) {
            const auto eol = piece.find('\n');
            Diagnostic note;
            note.severity = Severity::kNote;
            note.message = std::string(
                piece.substr(0, eol == std::string_view::npos ? piece.size() : eol + 1));
            note.explanation = "read / expected value of the failed check";
            out.items.push_back(note);
            piece.remove_prefix(note.message.size());
        }
        if (end == std::string_view::npos) break;
        if (!piece.empty()) out.items.push_back(Classify(piece, form));
        rest.remove_prefix(end + kWait.size());
    }
}

bool IsText(std::istream& in) {
    std::string head(6, '\0');
    in.read(head.data(), 6);
    head.resize(static_cast<std::size_t>(in.gcount()));
    in.clear();
    in.seekg(0);
    std::string_view h = head;
    if (StartsWith(h, "\xEF\xBB\xBF")) h.remove_prefix(3);
    return h.size() >= 3 && (h[0] == 'K' || h[0] == 'k') && (h[1] == 'O' || h[1] == 'o') &&
           (h[2] == 'N' || h[2] == 'n');
}

}  // namespace

LoadResult LoadKonStream(std::istream& in, std::string_view name, KonModell& model) {
    LoadResult result;
    result.form = IsText(in) ? KonForm::kText : KonForm::kArchive;
    std::istringstream noInput;
    std::ostringstream out;
    std::ostringstream err;
    Console console(noInput, out, err);
    LoadModelFrom(model, in, console, std::string(name));
    Parse(out.str(), result.form, result.diagnostics);
    for (Diagnostic& d : result.diagnostics.items) {
        if (d.kind == FaultKind::kTrailingBytes) {
            // The end check took one byte after the archive.
            in.clear();
            const auto pos = static_cast<std::streamoff>(in.tellg());
            if (pos > 0) d.where = {Location::Unit::kByte, static_cast<std::uint64_t>(pos - 1)};
        } else if (d.kind == FaultKind::kTruncated) {
            // The value that was cut off ends where the file does.
            in.clear();
            in.seekg(0, std::ios::end);
            const auto size = static_cast<std::streamoff>(in.tellg());
            if (size >= 0) d.where = {Location::Unit::kByte, static_cast<std::uint64_t>(size)};
        }
    }
    if (model.Geladen == 0 && result.diagnostics.Ok()) {
        std::string message = "Fehler beim Lesen von ";
        message.append(name).append("!\n");
        Diagnostic d = Classify(message, result.form);
        result.diagnostics.items.push_back(d);
    }
    if (model.Geladen == 0) {
        model = KonModell{};
        return result;
    }
    // Only the counted elements are the model; the text reader keeps spares.
    model.Punkte.resize(static_cast<std::size_t>(model.PunktAnzahl));
    model.Flaechenliste.resize(static_cast<std::size_t>(model.FlaechenAnzahl));
    model.Instanzen.resize(static_cast<std::size_t>(model.InstanzAnzahl));
    model.Linien.resize(static_cast<std::size_t>(model.LinienAnzahl));
    model.StrichLinien.resize(static_cast<std::size_t>(model.StrichLinienAnzahl));
    model.MassLinien.resize(static_cast<std::size_t>(model.MassLinienAnzahl));
    return result;
}

LoadResult LoadKonFile(const std::string& path, KonModell& model) {
    std::error_code ec;
    std::ifstream in;
    if (std::filesystem::is_regular_file(std::filesystem::status(path, ec))) {
        in.open(path, std::ios::binary);
    }
    if (!in.is_open()) {
        LoadResult result;
        result.diagnostics.items.push_back(Classify("Can't open " + path + "!\n", result.form));
        return result;
    }
    return LoadKonStream(in, path, model);
}

void WriteKonArchive(const KonModell& model, std::ostream& out) {
    WriteKonArchiveTo(model, out);
}

std::optional<Diagnostic> CheckFitsKonArchive(const KonModell& model) {
    if (FitsKonArchive(model)) return std::nullopt;
    Diagnostic d;
    d.kind = FaultKind::kTooLarge;
    d.message = "Modell zu gross fuer ein Kon-Archiv!\n";
    d.explanation =
        "expected at most 32767 points, instances and lines of each kind and 65535 polygon index "
        "objects";
    return d;
}

}  // namespace kon
