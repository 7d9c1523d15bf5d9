#include <string>

#include "archive/records.h"

namespace kon {

namespace {

constexpr std::uint16_t kEscapeWord = 0x7FFF;
constexpr std::uint16_t kEscapeSecond = 0xDD7D;

bool FailTrenner2(ArchiveInput& in, std::uint16_t marke) {
    return in.Fail("Falscher Trenner2: " + MarkeHex(marke) + "!\n");
}

bool SkipWord(ArchiveInput& in) {
    std::uint16_t ignored = 0;
    return in.cursor.ReadU16(ignored) || in.FailShort();
}

// One separator between two instance records: the plain Klassenmarke or the
// six-byte escape form 0x7FFF, 0xDD7D, any word.
bool ReadFormatSeparator(ArchiveInput& in, std::uint16_t marke) {
    std::uint16_t word = 0;
    if (!in.cursor.ReadU16(word)) return in.FailShort();
    if (word == kEscapeWord) {
        std::uint16_t next = 0;
        // An array whose Klassenmarke is 0x7FFF writes that word as its plain
        // separator; only a following 0xDD7D makes it an escape.
        const bool escapeFollows = in.cursor.PeekU16(next) && next == kEscapeSecond;
        if (!in.formatEscapeState && marke == kEscapeWord && !escapeFollows) return true;
        in.formatEscapeState = true;
        if (!in.cursor.ReadU16(next)) return in.FailShort();
        if (next != kEscapeSecond) return FailTrenner2(in, marke);
        return SkipWord(in);
    }
    // Once an escape was seen every separator is six bytes long.
    if (in.formatEscapeState) return SkipWord(in) && SkipWord(in);
    return word == marke || FailTrenner2(in, marke);
}

}  // namespace

bool ReadFormat(CObFormat& format, ByteCursor& in) {
    if (!in.Need(kFormatBytes)) return false;
    format.MoveX = in.I32();
    format.MoveY = in.I32();
    format.MoveZ = in.I32();
    format.RotX = in.F64();
    format.RotY = in.F64();
    format.RotZ = in.F64();
    format.ScalX = in.F32();
    format.ScalY = in.F32();
    format.ScalZ = in.F32();
    return true;
}

void WriteFormat(const CObFormat& format, ByteSink& out) {
    out.I32(format.MoveX);
    out.I32(format.MoveY);
    out.I32(format.MoveZ);
    out.F64(format.RotX);
    out.F64(format.RotY);
    out.F64(format.RotZ);
    out.F32(format.ScalX);
    out.F32(format.ScalY);
    out.F32(format.ScalZ);
}

bool ReadFormatArray(KonModell& model, ArchiveInput& in, std::uint16_t count, std::uint16_t marke) {
    model.Instanzen.assign(count, CObFormat{});
    model.InstanzAnzahl = count;
    for (std::size_t i = 0; i < count; ++i) {
        if (!ReadFormat(model.Instanzen[i], in.cursor)) return in.FailShort();
        if (i + 1 < count && !ReadFormatSeparator(in, marke)) return false;
    }
    return true;
}

void WriteFormatArray(const KonModell& model, ByteSink& out, std::uint16_t marke) {
    const std::size_t count = InUse(model.InstanzAnzahl, model.Instanzen.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0) out.U16(marke);
        WriteFormat(model.Instanzen[i], out);
    }
}

}  // namespace kon
