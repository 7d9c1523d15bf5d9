#include <string>

#include "archive/records.h"
#include "model/integer_text.h"

namespace kon {

namespace {

constexpr std::uint16_t kEscapeWord = 0x7FFF;
constexpr std::uint16_t kEscapeSecond = 0xDD7D;

bool FailTrenner2(ArchiveInput& in, std::uint16_t marke, std::uint16_t found, std::size_t offset) {
    return in.Fail(FaultKind::kBadFraming, "Falscher Trenner2: " + MarkeHex(marke) + "!\n",
                   "expected the instance separator 0x" + Hex(marke) +
                       " or the escape 0x7fff 0xdd7d, found 0x" + Hex(found),
                   offset);
}

bool SkipWord(ArchiveInput& in) {
    std::uint16_t ignored = 0;
    return in.cursor.ReadU16(ignored) || in.FailShort("an instance separator");
}

// One separator between two instance records: the plain Klassenmarke or the
// six-byte escape form 0x7FFF, 0xDD7D, any word.
bool ReadFormatSeparator(ArchiveInput& in, std::uint16_t marke) {
    const std::size_t wordAt = in.cursor.Offset();
    std::uint16_t word = 0;
    if (!in.cursor.ReadU16(word)) return in.FailShort("an instance separator");
    if (word == kEscapeWord) {
        std::uint16_t next = 0;
        // An array whose Klassenmarke is 0x7FFF writes that word as its plain
        // separator; only a following 0xDD7D makes it an escape.
        const bool escapeFollows = in.cursor.PeekU16(next) && next == kEscapeSecond;
        if (!in.formatEscapeState && marke == kEscapeWord && !escapeFollows) return true;
        in.formatEscapeState = true;
        const std::size_t nextAt = in.cursor.Offset();
        if (!in.cursor.ReadU16(next)) return in.FailShort("an instance separator");
        if (next != kEscapeSecond) return FailTrenner2(in, marke, next, nextAt);
        return SkipWord(in);
    }
    // Once an escape was seen every separator is six bytes long.
    if (in.formatEscapeState) return SkipWord(in) && SkipWord(in);
    return word == marke || FailTrenner2(in, marke, word, wordAt);
}

}  // namespace

bool ReadFormatArray(KonModell& model, ArchiveInput& in, std::size_t count, std::uint16_t marke) {
    model.Instanzen.assign(count, CObFormat{});
    return ReadSeparated(
        count,
        [&](std::size_t i) {
            if (!in.cursor.Need(kFormatBytes))
                return in.FailShort("an instance record of 48 bytes");
            FieldReader reader{in.cursor};
            FormatFields(reader, model.Instanzen[i]);
            return true;
        },
        [&] { return ReadFormatSeparator(in, marke); });
}

void WriteFormatArray(const KonModell& model, ByteSink& out, std::uint16_t marke) {
    FieldWriter writer{out};
    WriteSeparated(out, model.Instanzen.size(), marke,
                   [&](std::size_t i) { FormatFields(writer, model.Instanzen[i]); });
}

}  // namespace kon
