#include <algorithm>
#include <string>

#include "archive/framing_checks.h"
#include "archive/records.h"
#include "model/integer_text.h"

namespace kon {

namespace {

bool HasZusatzList(const CObPunkt& punkt, std::int32_t variante) {
    return variante == kVarianteTav && punkt.Marke == kZusatzMarke;
}

bool ReadZusatzList(CObPunkt& punkt, ArchiveInput& in) {
    const std::size_t countAt = in.cursor.Offset();
    std::uint32_t raw = 0;
    if (!in.cursor.ReadU32(raw)) return in.FailShort("the supplement count of a point");
    const auto count = static_cast<std::int32_t>(raw);
    if (count < 0) {
        return in.Fail(
            FaultKind::kBadCount,
            "Ungueltige Anzahl " + Decimal(count) + " in " + std::string(in.name) + "!\n",
            "expected a supplement count of 0 or more, found " + Decimal(count), countAt);
    }
    // Every entry takes five bytes, so no more than Buffered() / 5 entries are
    // surely in the file: the reservation never exceeds what bytes at hand
    // could fill, and a file that ends first fails below before the list
    // grows past what it held.
    const auto wanted = static_cast<std::size_t>(count);
    punkt.Zusatz.clear();
    punkt.Zusatz.reserve(std::min(wanted, in.cursor.Buffered() / kZusatzEntryBytes));
    for (std::size_t i = 0; i < wanted; ++i) {
        if (!in.cursor.Need(kZusatzEntryBytes - 1)) return in.FailShort("a supplement entry");
        PunktZusatz entry;
        entry.Kennung = in.cursor.U8();
        entry.Wert1 = in.cursor.U8();
        entry.Wert2 = in.cursor.U8();
        entry.Wert3 = in.cursor.U8();
        punkt.Zusatz.push_back(entry);
        // A non-zero fifth byte is only shown; the entry stays.
        if (ExpectByte(in, 0) == CheckResult::kShort) return in.FailShort("a supplement entry");
    }
    punkt.ZusatzAnzahl = count;
    return true;
}

bool ReadPunkt(CObPunkt& punkt, ArchiveInput& in, std::int32_t variante) {
    if (!in.cursor.Need(kPunktBytes)) return in.FailShort("a point record of 48 bytes");
    FieldReader reader{in.cursor};
    PunktFields(reader, punkt);
    return !HasZusatzList(punkt, variante) || ReadZusatzList(punkt, in);
}

void WritePunkt(const CObPunkt& punkt, ByteSink& out, std::int32_t variante) {
    FieldWriter writer{out};
    PunktFields(writer, punkt);
    if (!HasZusatzList(punkt, variante)) return;
    // The count written is the number of entries written, so the list always
    // reads back as it was.
    const std::size_t count =
        punkt.ZusatzAnzahl <= 0
            ? 0
            : std::min(static_cast<std::size_t>(punkt.ZusatzAnzahl), punkt.Zusatz.size());
    out.I32(static_cast<std::int32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const PunktZusatz& entry = punkt.Zusatz[i];
        out.U8(entry.Kennung);
        out.U8(entry.Wert1);
        out.U8(entry.Wert2);
        out.U8(entry.Wert3);
        out.U8(0);
    }
}

}  // namespace

// Built only for the failure: a separator is read for every record.
std::string SeparatorFault(const ArchiveInput& in, std::uint16_t marke, MarkeOf array) {
    switch (array) {
        case MarkeOf::kPunkte:
            return "Formatfehler 12!\n";
        case MarkeOf::kIndex:
            return "Falscher Trenner1: " + MarkeHex(marke) + "!\n";
        case MarkeOf::kLinien:
            break;
    }
    return "Formatfehler 20 in " + std::string(in.name) + "!\n";
}

bool ReadMarke(ArchiveInput& in, std::uint16_t marke, MarkeOf array) {
    switch (ExpectWord(in, marke)) {
        case CheckResult::kMatch:
            return true;
        case CheckResult::kMismatch:
            return in.Fail(
                FaultKind::kBadFraming, SeparatorFault(in, marke, array),
                "expected the record separator 0x" + Hex(marke) + ", found 0x" + Hex(in.valueFound),
                in.valueStart);
        case CheckResult::kShort:
            break;
    }
    return in.FailShort("a record separator");
}

bool ReadPunktArray(KonModell& model, ArchiveInput& in, std::size_t count, std::uint16_t marke) {
    model.Punkte.assign(count, CObPunkt{});
    return ReadSeparated(
        count, [&](std::size_t i) { return ReadPunkt(model.Punkte[i], in, model.Variante); },
        [&] { return ReadMarke(in, marke, MarkeOf::kPunkte); });
}

void WritePunktArray(const KonModell& model, ByteSink& out, std::uint16_t marke) {
    WriteSeparated(out, model.Punkte.size(), marke,
                   [&](std::size_t i) { WritePunkt(model.Punkte[i], out, model.Variante); });
}

}  // namespace kon
