#include "archive/kon_archive.h"

#include <cassert>
#include <istream>
#include <limits>
#include <new>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "archive/archive_input.h"
#include "archive/framing_checks.h"
#include "archive/index_stream.h"
#include "archive/records.h"
#include "model/faults.h"
#include "model/integer_text.h"
#include "model/limits.h"

namespace kon {

namespace {

constexpr std::uint32_t kKennungMolk = 2880;
constexpr std::uint32_t kFormatnummerMolk = 2025;
constexpr std::uint32_t kKennungTav = 5760;
constexpr std::uint32_t kFormatnummerTav = 4000;
constexpr std::uint16_t kFirstMarke = 0x8001;

// The running Klassenmarke: one number for the class and one per object,
// modulo 0x10000.
std::uint16_t Advance(std::uint16_t marke, std::uint64_t objects) {
    return static_cast<std::uint16_t>(marke + objects + 1);
}

// The "Formatfehler" numbers of a failed Klassenkopf.
struct KopfMessages {
    const char* tagOrSchema;
    const char* name;
};
constexpr KopfMessages kPunktKopf{"7", "8"};
constexpr KopfMessages kIndexKopf{"13", "14"};
constexpr KopfMessages kOtherKopf{"17", "18"};

class ArchiveReader {
  public:
    ArchiveReader(KonModell& model, ArchiveInput& in) : model_(model), in_(in) {}

    bool Run() {
        return ReadHeader() && ReadPoints() && ReadIndex() && ReadInstances() &&
               ReadLines(kClassStrichLinie, model_.StrichLinien) &&
               ReadLines(kClassLinie, model_.Linien) && ReadReserved() &&
               ReadLines(kClassMassLinie, model_.MassLinien);
    }

  private:
    bool ReadHeader() {
        std::uint32_t kennung = 0;
        if (!in_.cursor.ReadU32(kennung)) return in_.FailShort("the archive's version word");
        std::uint32_t format = 0;
        if (kennung == kKennungMolk) {
            model_.Variante = kVarianteMolk;
            format = kFormatnummerMolk;
        } else if (kennung == kKennungTav) {
            model_.Variante = kVarianteTav;
            format = kFormatnummerTav;
        } else {
            return in_.Fail(
                FaultKind::kBadVersion, "Falsche Versionskennung: " + Hex(kennung) + "!\n",
                "expected a Kon archive header (2880 or 5760), found " + Decimal(kennung), 0);
        }
        switch (ExpectDword(in_, format)) {
            case CheckResult::kMatch:
                return true;
            case CheckResult::kMismatch:
                return in_.FailFormatfehler("1",
                                            "expected the format word " + Decimal(format) +
                                                ", found " + Decimal(in_.valueFound),
                                            in_.valueStart);
            case CheckResult::kShort:
                break;
        }
        return in_.FailShort("the archive's format word");
    }

    // A count word of points, instances or lines: 0x8000 and above would be
    // negative and is refused right after it is read.
    bool ReadCount(std::size_t& count) {
        const std::size_t at = in_.cursor.Offset();
        std::uint16_t word = 0;
        if (!in_.cursor.ReadU16(word)) return in_.FailShort("an array's count word");
        const auto value = static_cast<std::int16_t>(word);
        if (value >= 0) {
            count = static_cast<std::size_t>(value);
            return true;
        }
        return in_.Fail(
            FaultKind::kBadCount,
            "Ungueltige Anzahl " + Decimal(value) + " in " + std::string(in_.name) + "!\n",
            "expected a count of 0 to 32767, found " + Decimal(value), at);
    }

    bool ReadKopf(std::string_view name, const KopfMessages& messages) {
        const KopfResult result = ReadKlassenkopf(in_, name);
        switch (result) {
            case KopfResult::kOk:
                return true;
            case KopfResult::kTagOrSchema:
                return in_.FailFormatfehler(messages.tagOrSchema,
                                            DescribeKopfFault(in_, result, name), in_.valueStart);
            case KopfResult::kName:
                return in_.FailFormatfehler(messages.name, DescribeKopfFault(in_, result, name),
                                            in_.valueStart);
            case KopfResult::kShort:
                break;
        }
        return in_.FailShort("the class header of " + std::string(name));
    }

    bool ReadPoints() {
        std::size_t count = 0;
        if (!ReadCount(count)) return false;
        if (count == 0) return true;
        if (!ReadKopf(kClassPunkt, kPunktKopf) || !ReadPunktArray(model_, in_, count, marke_)) {
            return false;
        }
        marke_ = Advance(marke_, count);
        return true;
    }

    bool ReadIndex() {
        std::uint16_t count = 0;
        if (!in_.cursor.ReadU16(count)) return in_.FailShort("the polygon index count word");
        if (count == 0) return true;
        if (!ReadKopf(kClassIndex, kIndexKopf) || !DecodeIndexStream(model_, in_, count, marke_)) {
            return false;
        }
        // The decoded polygons, not the count word, decide the numbering.
        marke_ = Advance(marke_, CountIndexObjects(model_));
        return true;
    }

    bool ReadInstances() {
        std::size_t count = 0;
        if (!ReadCount(count)) return false;
        if (count == 0) return true;
        if (!ReadKopf(kClassFormat, kOtherKopf) || !ReadFormatArray(model_, in_, count, marke_)) {
            return false;
        }
        marke_ = Advance(marke_, count);
        return true;
    }

    bool ReadLines(std::string_view name, std::vector<Linie>& lines) {
        std::size_t count = 0;
        if (!ReadCount(count)) return false;
        if (count == 0) return true;
        if (!ReadKopf(name, kOtherKopf)) return false;
        lines.assign(count, Linie{});
        const bool read = ReadSeparated(
            count,
            [&](std::size_t i) {
                if (!in_.cursor.Need(kLinieBytes))
                    return in_.FailShort("a line record of 24 bytes");
                FieldReader reader{in_.cursor};
                LinieFields(reader, lines[i]);
                return true;
            },
            [&] { return ReadMarke(in_, marke_, MarkeOf::kLinien); });
        if (!read) return false;
        marke_ = Advance(marke_, count);
        return true;
    }

    bool ReadReserved() {
        const std::size_t at = in_.cursor.Offset();
        std::uint16_t count = 0;
        if (!in_.cursor.ReadU16(count)) return in_.FailShort("the reserved array's count word");
        return count == 0 ||
               in_.FailFormatfehler(
                   "Juhu", "expected an empty reserved array, found a count of " + Decimal(count),
                   at);
    }

    KonModell& model_;
    ArchiveInput& in_;
    std::uint16_t marke_ = kFirstMarke;
};

// A count word of an array that CheckFitsKonArchive accepted.
std::uint16_t CountWord(std::size_t count) {
    assert(count <= static_cast<std::size_t>(kMaxItems));
    return static_cast<std::uint16_t>(count);
}

void WriteLines(ByteSink& out, std::string_view name, const std::vector<Linie>& lines,
                std::uint16_t& marke) {
    out.U16(CountWord(lines.size()));
    if (lines.empty()) return;
    WriteKlassenkopf(out, name);
    FieldWriter writer{out};
    WriteSeparated(out, lines.size(), marke, [&](std::size_t i) { LinieFields(writer, lines[i]); });
    marke = Advance(marke, lines.size());
}

}  // namespace

Diagnostics ReadKonArchive(std::istream& in, std::string_view name, KonModell& model) {
    model = KonModell{};
    Diagnostics diagnostics;
    try {
        const std::istream::pos_type start = in.tellg();
        ArchiveInput input(ByteCursor(in), name, diagnostics);
        const bool read = ArchiveReader(model, input).Run();
        if (input.cursor.ReadFailed()) {
            // An error in bytes read ahead still spoils the file; a failure that
            // ran into it was reported as the read error already.
            if (read) input.FailRead();
            return diagnostics;
        }
        // Leave the stream right behind the last byte consumed, so the end check
        // sees what follows; the window may have read ahead. A stream that cannot
        // tell its position is read to its end.
        in.clear();
        if (start != std::istream::pos_type(-1)) {
            in.seekg(start + static_cast<std::streamoff>(input.cursor.Offset()));
        } else {
            in.ignore(std::numeric_limits<std::streamsize>::max());
        }
    } catch (const std::bad_alloc&) {
        diagnostics.items.push_back(OutOfMemoryFault());
    }
    return diagnostics;
}

Diagnostics CheckArchiveEnd(std::istream& in) {
    Diagnostics diagnostics;
    // After a failed read the stream knows no position; the warning then has none.
    const std::streamoff at = in.tellg();
    const auto next = in.get();
    if (next != std::istream::traits_type::eof() || !in.eof()) {
        Location where;
        if (at >= 0) where = {Location::Unit::kByte, static_cast<std::uint64_t>(at)};
        // konvert shows a failed read there as it shows more bytes.
        const bool failed = in.bad();
        diagnostics.items.push_back(Diagnostic{
            Severity::kWarning, failed ? FaultKind::kReadError : FaultKind::kTrailingBytes,
            "EOF not found!",
            failed ? "expected the end of the file after the last array; reading on failed"
                   : "expected the end of the file after the last array, found more bytes",
            where});
    }
    return diagnostics;
}

std::optional<Diagnostic> CheckFitsKonArchive(const KonModell& model) {
    // The first count over its limit, named with its number; lines and index
    // objects are derived, so a text file still holds such a model.
    const auto tooLarge = [](std::uint64_t count, std::string_view what, std::uint64_t limit,
                             bool textHolds) {
        // Counts of a model in memory are far below 2^63.
        std::string explanation = Decimal(static_cast<std::int64_t>(count));
        explanation.append(" ").append(what).append("; a Kon archive holds at most ");
        explanation += Decimal(static_cast<std::int64_t>(limit));
        if (textHolds) explanation += ", a Kon text file has no such limit";
        return Diagnostic{Severity::kError,
                          FaultKind::kTooLarge,
                          "Modell zu gross fuer ein Kon-Archiv!\n",
                          explanation,
                          {}};
    };
    constexpr auto kItems = static_cast<std::uint64_t>(kMaxItems);
    const std::tuple<std::size_t, std::string_view, bool> arrays[] = {
        {model.Punkte.size(), "points", false},
        {model.Flaechenliste.size(), "polygons", false},
        {model.Instanzen.size(), "instances", false},
        {model.Linien.size(), "plan lines", true},
        {model.StrichLinien.size(), "dashed plan lines", true},
        {model.MassLinien.size(), "dimension lines", true}};
    for (const auto& [count, what, textHolds] : arrays) {
        if (count > kItems) return tooLarge(count, what, kItems, textHolds);
    }
    const std::uint64_t objects = CountIndexObjects(model);
    if (objects > kMaxIndexObjects) {
        return tooLarge(objects, "polygon index objects", kMaxIndexObjects, true);
    }
    return std::nullopt;
}

void WriteKonArchive(const KonModell& model, std::ostream& out) {
    std::string buffer;
    ByteSink sink(buffer, out);
    const bool tav = model.Variante == kVarianteTav;
    sink.U32(tav ? kKennungTav : kKennungMolk);
    sink.U32(tav ? kFormatnummerTav : kFormatnummerMolk);

    std::uint16_t marke = kFirstMarke;
    sink.U16(CountWord(model.Punkte.size()));
    if (!model.Punkte.empty()) {
        WriteKlassenkopf(sink, kClassPunkt);
        WritePunktArray(model, sink, marke);
        marke = Advance(marke, model.Punkte.size());
    }

    // Never fewer than six objects, so the index array is always present.
    const std::uint64_t objects = CountIndexObjects(model);
    assert(objects <= kMaxIndexObjects);
    sink.U16(static_cast<std::uint16_t>(objects));
    WriteKlassenkopf(sink, kClassIndex);
    EncodeIndexStream(model, sink, marke);
    marke = Advance(marke, objects);

    sink.U16(CountWord(model.Instanzen.size()));
    if (!model.Instanzen.empty()) {
        WriteKlassenkopf(sink, kClassFormat);
        WriteFormatArray(model, sink, marke);
        marke = Advance(marke, model.Instanzen.size());
    }

    WriteLines(sink, kClassStrichLinie, model.StrichLinien, marke);
    WriteLines(sink, kClassLinie, model.Linien, marke);
    sink.U16(0);  // the reserved array, always empty
    WriteLines(sink, kClassMassLinie, model.MassLinien, marke);
    sink.Finish();
}

}  // namespace kon
