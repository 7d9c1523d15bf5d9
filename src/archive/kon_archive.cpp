#include "archive/kon_archive.h"

#include <algorithm>
#include <istream>
#include <limits>
#include <ostream>
#include <string>
#include <vector>

#include "archive/archive_input.h"
#include "archive/framing_checks.h"
#include "archive/index_stream.h"
#include "archive/records.h"
#include "io/output_file.h"

namespace kon {

namespace {

constexpr std::uint32_t kKennungMolk = 2880;
constexpr std::uint32_t kFormatMolk = 2025;
constexpr std::uint32_t kKennungTav = 5760;
constexpr std::uint32_t kFormatTav = 4000;
constexpr std::uint16_t kFirstMarke = 0x8001;
// Counts of points, instances and lines are signed 16-bit words in the file.
constexpr std::int32_t kMaxCount = 32767;
constexpr std::uint64_t kMaxIndexObjects = 65535;

// The running Klassenmarke: one number for the class and one per object,
// modulo 0x10000.
std::uint16_t Advance(std::uint16_t marke, std::uint64_t objects) {
    return static_cast<std::uint16_t>(marke + objects + 1);
}

// The messages that name a framing fault carry the input path.
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
               ReadLines(kClassStrichLinie, model_.StrichLinien, model_.StrichLinienAnzahl) &&
               ReadLines(kClassLinie, model_.Linien, model_.LinienAnzahl) && ReadReserved() &&
               ReadLines(kClassMassLinie, model_.MassLinien, model_.MassLinienAnzahl);
    }

  private:
    bool FormatError(const std::string& number) {
        return in_.Fail("Formatfehler " + number + " in " + std::string(in_.path) + "!\n");
    }

    bool ReadHeader() {
        std::uint32_t kennung = 0;
        if (!in_.cursor.ReadU32(kennung)) return in_.FailShort();
        std::uint32_t format = 0;
        if (kennung == kKennungMolk) {
            model_.Variante = kVarianteMolk;
            format = kFormatMolk;
        } else if (kennung == kKennungTav) {
            model_.Variante = kVarianteTav;
            format = kFormatTav;
        } else {
            return in_.Fail("Falsche Versionskennung: " + Hex(kennung) + "!\n");
        }
        switch (ExpectDword(in_, format)) {
            case CheckResult::kMatch:
                return true;
            case CheckResult::kMismatch:
                return FormatError("1");
            case CheckResult::kShort:
                break;
        }
        return in_.FailShort();
    }

    // A count word of points, instances or lines: 0x8000 and above would be
    // negative and is refused right after it is read.
    bool ReadCount(std::int32_t& count) {
        std::uint16_t word = 0;
        if (!in_.cursor.ReadU16(word)) return in_.FailShort();
        count = static_cast<std::int16_t>(word);
        if (count >= 0) return true;
        return in_.Fail("Ungueltige Anzahl " + Decimal(count) + " in " + std::string(in_.path) +
                        "!\n");
    }

    bool ReadKopf(std::string_view name, const KopfMessages& messages) {
        switch (ReadKlassenkopf(in_, name)) {
            case KopfResult::kOk:
                return true;
            case KopfResult::kTagOrSchema:
                return FormatError(messages.tagOrSchema);
            case KopfResult::kName:
                return FormatError(messages.name);
            case KopfResult::kShort:
                break;
        }
        return in_.FailShort();
    }

    bool ReadPoints() {
        if (!ReadCount(model_.PunktAnzahl)) return false;
        if (model_.PunktAnzahl == 0) return true;
        if (!ReadKopf(kClassPunkt, kPunktKopf) || !ReadPunktArray(model_, in_, marke_)) {
            return false;
        }
        marke_ = Advance(marke_, static_cast<std::uint64_t>(model_.PunktAnzahl));
        return true;
    }

    bool ReadIndex() {
        std::uint16_t count = 0;
        if (!in_.cursor.ReadU16(count)) return in_.FailShort();
        if (count == 0) return true;
        if (!ReadKopf(kClassIndex, kIndexKopf) || !DecodeIndexStream(model_, in_, count, marke_)) {
            return false;
        }
        // The decoded polygons, not the count word, decide the numbering.
        marke_ = Advance(marke_, CountIndexObjects(model_));
        return true;
    }

    bool ReadInstances() {
        std::int32_t count = 0;
        if (!ReadCount(count)) return false;
        model_.InstanzAnzahl = count;
        if (count == 0) return true;
        const auto words = static_cast<std::uint16_t>(count);
        if (!ReadKopf(kClassFormat, kOtherKopf) || !ReadFormatArray(model_, in_, words, marke_)) {
            return false;
        }
        marke_ = Advance(marke_, words);
        return true;
    }

    bool ReadLines(std::string_view name, std::vector<Linie>& lines, std::int32_t& count) {
        if (!ReadCount(count)) return false;
        if (count == 0) return true;
        if (!ReadKopf(name, kOtherKopf)) return false;
        const auto n = static_cast<std::size_t>(count);
        lines.assign(n, Linie{});
        for (std::size_t i = 0; i < n; ++i) {
            if (!ReadLinie(lines[i], in_.cursor)) return in_.FailShort();
            if (i + 1 == n) break;
            switch (ExpectWord(in_, marke_)) {
                case CheckResult::kMatch:
                    break;
                case CheckResult::kMismatch:
                    return FormatError("20");
                case CheckResult::kShort:
                    return in_.FailShort();
            }
        }
        marke_ = Advance(marke_, n);
        return true;
    }

    bool ReadReserved() {
        std::uint16_t count = 0;
        if (!in_.cursor.ReadU16(count)) return in_.FailShort();
        return count == 0 || FormatError("Juhu");
    }

    KonModell& model_;
    ArchiveInput& in_;
    std::uint16_t marke_ = kFirstMarke;
};

void WriteLines(ByteSink& out, std::string_view name, const std::vector<Linie>& lines,
                std::int32_t count, std::uint16_t& marke) {
    const std::size_t n = InUse(count, lines.size());
    out.U16(static_cast<std::uint16_t>(n));
    if (n == 0) return;
    WriteKlassenkopf(out, name);
    for (std::size_t i = 0; i < n; ++i) {
        if (i != 0) out.U16(marke);
        WriteLinie(lines[i], out);
    }
    marke = Advance(marke, n);
}

}  // namespace

void ReadKonArchive(KonModell& model, std::istream& in, Console& console,
                    std::string_view inputPath) {
    const std::istream::pos_type start = in.tellg();
    ArchiveInput input(ByteCursor(in), console, inputPath);
    const bool read = ArchiveReader(model, input).Run();
    if (input.cursor.ReadFailed()) {
        // An error in bytes read ahead still spoils the file; a failure that
        // ran into it was reported as the read error already.
        if (read) input.FailRead();
        return;
    }
    if (read) model.Geladen = 1;

    // Leave the stream right behind the last byte consumed, so the end check
    // sees what follows; the window may have read ahead. A stream that cannot
    // tell its position is read to its end.
    in.clear();
    if (start != std::istream::pos_type(-1)) {
        in.seekg(start + static_cast<std::streamoff>(input.cursor.Offset()));
    } else {
        in.ignore(std::numeric_limits<std::streamsize>::max());
    }
}

void CheckArchiveEnd(std::istream& in, Console& console) {
    const auto next = in.get();
    if (next != std::istream::traits_type::eof() || !in.eof()) {
        console.ReportAndWait("EOF not found!");
    }
}

void WriteKonArchiveTo(const KonModell& model, std::ostream& out) {
    std::string buffer;
    ByteSink sink(buffer, out);
    const bool tav = model.Variante == kVarianteTav;
    sink.U32(tav ? kKennungTav : kKennungMolk);
    sink.U32(tav ? kFormatTav : kFormatMolk);

    std::uint16_t marke = kFirstMarke;
    const std::size_t punkte = InUse(model.PunktAnzahl, model.Punkte.size());
    sink.U16(static_cast<std::uint16_t>(punkte));
    if (punkte != 0) {
        WriteKlassenkopf(sink, kClassPunkt);
        WritePunktArray(model, sink, marke);
        marke = Advance(marke, punkte);
    }

    // Never fewer than six objects, so the index array is always present.
    const std::uint64_t objects = CountIndexObjects(model);
    sink.U16(static_cast<std::uint16_t>(objects));
    WriteKlassenkopf(sink, kClassIndex);
    EncodeIndexStream(model, sink, marke);
    marke = Advance(marke, objects);

    const std::size_t instanzen = InUse(model.InstanzAnzahl, model.Instanzen.size());
    sink.U16(static_cast<std::uint16_t>(instanzen));
    if (instanzen != 0) {
        WriteKlassenkopf(sink, kClassFormat);
        WriteFormatArray(model, sink, marke);
        marke = Advance(marke, instanzen);
    }

    WriteLines(sink, kClassStrichLinie, model.StrichLinien, model.StrichLinienAnzahl, marke);
    WriteLines(sink, kClassLinie, model.Linien, model.LinienAnzahl, marke);
    sink.U16(0);  // the reserved array, always empty
    WriteLines(sink, kClassMassLinie, model.MassLinien, model.MassLinienAnzahl, marke);
    sink.Finish();
}

bool FitsKonArchive(const KonModell& model) {
    for (const std::int32_t count :
         {model.PunktAnzahl, model.InstanzAnzahl, model.StrichLinienAnzahl, model.LinienAnzahl,
          model.MassLinienAnzahl}) {
        if (count < 0 || count > kMaxCount) return false;
    }
    return CountIndexObjects(model) <= kMaxIndexObjects;
}

int WriteKonArchive(const KonModell& model, const std::string& path, Console& console) {
    // Checked before anything is created: a count the 16-bit words cannot hold
    // would silently wrap in the file.
    if (!FitsKonArchive(model)) {
        console.ReportAndWait("Modell zu gross fuer ein Kon-Archiv!\n");
        return 0;
    }
    switch (WriteOutputFile(path, [&](std::ostream& out) { WriteKonArchiveTo(model, out); })) {
        case OutputResult::kWritten:
            return 1;
        case OutputResult::kOpenFailed:
            console.ReportOpenFailure(path);
            return 0;
        case OutputResult::kWriteFailed:
            console.ReportAndWait("Fehler beim Schreiben von " + path + "!\n");
            return 0;
    }
    return 0;
}

}  // namespace kon
