#include <string>

#include "archive/framing_checks.h"
#include "archive/records.h"

namespace kon {

namespace {

bool HasZusatzList(const CObPunkt& punkt, std::int32_t variante) {
    return variante == kVarianteTav && punkt.Marke == kZusatzMarke;
}

bool ReadZusatzList(CObPunkt& punkt, ArchiveInput& in) {
    std::uint32_t raw = 0;
    if (!in.cursor.ReadU32(raw)) return in.FailShort();
    const auto count = static_cast<std::int32_t>(raw);
    if (count < 0) {
        return in.Fail("Ungueltige Anzahl " + Decimal(count) + " in " + std::string(in.path) +
                       "!\n");
    }
    // Every entry takes five bytes, so no more than Buffered() / 5 entries are
    // surely in the file: the reservation never exceeds what bytes at hand
    // could fill, and a file that ends first fails below before the list
    // grows past what it held.
    const auto wanted = static_cast<std::size_t>(count);
    punkt.Zusatz.clear();
    punkt.Zusatz.reserve(std::min(wanted, in.cursor.Buffered() / kZusatzEntryBytes));
    for (std::size_t i = 0; i < wanted; ++i) {
        if (!in.cursor.Need(kZusatzEntryBytes - 1)) return in.FailShort();
        PunktZusatz entry;
        entry.Kennung = in.cursor.U8();
        entry.Wert1 = in.cursor.U8();
        entry.Wert2 = in.cursor.U8();
        entry.Wert3 = in.cursor.U8();
        punkt.Zusatz.push_back(entry);
        // A non-zero fifth byte is only shown; the entry stays.
        if (ExpectByte(in, 0) == CheckResult::kShort) return in.FailShort();
    }
    punkt.ZusatzAnzahl = count;
    return true;
}

}  // namespace

bool ReadPunkt(CObPunkt& punkt, ArchiveInput& in, std::int32_t variante) {
    ByteCursor& c = in.cursor;
    if (!c.Need(kPunktBytes)) return in.FailShort();
    punkt.X = c.I32();
    punkt.Y = c.I32();
    punkt.Z = c.I32();
    punkt.Res0 = c.U32();
    punkt.Res1 = c.U32();
    punkt.Res2 = c.U32();
    punkt.Res3 = c.U32();
    punkt.Res4 = c.U32();
    punkt.R = c.U8();
    punkt.G = c.U8();
    punkt.B = c.U8();
    punkt.Marke = c.U8();
    punkt.TexX = c.F32();
    punkt.TexY = c.F32();
    punkt.TexId = c.I32();
    return !HasZusatzList(punkt, variante) || ReadZusatzList(punkt, in);
}

void WritePunkt(const CObPunkt& punkt, ByteSink& out, std::int32_t variante) {
    out.I32(punkt.X);
    out.I32(punkt.Y);
    out.I32(punkt.Z);
    out.U32(punkt.Res0);
    out.U32(punkt.Res1);
    out.U32(punkt.Res2);
    out.U32(punkt.Res3);
    out.U32(punkt.Res4);
    out.U8(punkt.R);
    out.U8(punkt.G);
    out.U8(punkt.B);
    out.U8(punkt.Marke);
    out.F32(punkt.TexX);
    out.F32(punkt.TexY);
    out.I32(punkt.TexId);
    if (!HasZusatzList(punkt, variante)) return;
    // The count written is the number of entries written, so the list always
    // reads back as it was.
    const std::size_t count = InUse(punkt.ZusatzAnzahl, punkt.Zusatz.size());
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

bool ReadPunktArray(KonModell& model, ArchiveInput& in, std::uint16_t marke) {
    const auto count = static_cast<std::size_t>(model.PunktAnzahl);
    model.Punkte.assign(count + 3, CObPunkt{});
    for (std::size_t i = 0; i < count; ++i) {
        if (!ReadPunkt(model.Punkte[i], in, model.Variante)) return false;
        if (i + 1 == count) break;
        switch (ExpectWord(in, marke)) {
            case CheckResult::kMatch:
                break;
            case CheckResult::kMismatch:
                return in.Fail("Formatfehler 12!\n");
            case CheckResult::kShort:
                return in.FailShort();
        }
    }
    return true;
}

void WritePunktArray(const KonModell& model, ByteSink& out, std::uint16_t marke) {
    const std::size_t count = InUse(model.PunktAnzahl, model.Punkte.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0) out.U16(marke);
        WritePunkt(model.Punkte[i], out, model.Variante);
    }
}

}  // namespace kon
