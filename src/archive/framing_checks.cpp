#include "archive/framing_checks.h"

#include <string>

namespace kon {

namespace {

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kSchema = 0x0000;

void PrintMismatch(ArchiveInput& in, std::int64_t read, std::int64_t expected) {
    in.console.Print("I: " + Decimal(read) + " S: " + Decimal(expected) + "\n");
}

std::int16_t Signed16(std::uint16_t value) {
    return static_cast<std::int16_t>(value);
}
std::int32_t Signed32(std::uint32_t value) {
    return static_cast<std::int32_t>(value);
}

}  // namespace

CheckResult ExpectWord(ArchiveInput& in, std::uint16_t expected) {
    std::uint16_t read = 0;
    if (!in.cursor.ReadU16(read)) return CheckResult::kShort;
    if (read == expected) return CheckResult::kMatch;
    PrintMismatch(in, Signed16(read), Signed16(expected));
    return CheckResult::kMismatch;
}

CheckResult ExpectDword(ArchiveInput& in, std::uint32_t expected) {
    std::uint32_t read = 0;
    if (!in.cursor.ReadU32(read)) return CheckResult::kShort;
    if (read == expected) return CheckResult::kMatch;
    PrintMismatch(in, Signed32(read), Signed32(expected));
    return CheckResult::kMismatch;
}

CheckResult ExpectByte(ArchiveInput& in, std::uint8_t expected) {
    if (!in.cursor.Need(1)) return CheckResult::kShort;
    const std::uint8_t read = in.cursor.U8();
    if (read == expected) return CheckResult::kMatch;
    PrintMismatch(in, read, expected);
    return CheckResult::kMismatch;
}

CheckResult ExpectClassName(ArchiveInput& in, std::string_view name) {
    std::uint16_t length = 0;
    if (!in.cursor.ReadU16(length)) return CheckResult::kShort;
    // A wrong length fails before the name bytes are read.
    if (length != name.size()) return CheckResult::kMismatch;
    if (!in.cursor.Need(length)) return CheckResult::kShort;
    return in.cursor.Bytes(length) == name ? CheckResult::kMatch : CheckResult::kMismatch;
}

KopfResult ReadKlassenkopf(ArchiveInput& in, std::string_view name) {
    for (const std::uint16_t word : {kNewClassTag, kSchema}) {
        switch (ExpectWord(in, word)) {
            case CheckResult::kMatch:
                break;
            case CheckResult::kMismatch:
                return KopfResult::kTagOrSchema;
            case CheckResult::kShort:
                return KopfResult::kShort;
        }
    }
    switch (ExpectClassName(in, name)) {
        case CheckResult::kMatch:
            return KopfResult::kOk;
        case CheckResult::kMismatch:
            return KopfResult::kName;
        case CheckResult::kShort:
            break;
    }
    return KopfResult::kShort;
}

void WriteClassName(ByteSink& out, std::string_view name) {
    // Class names are the six short constants above; their length fits a word.
    out.U16(static_cast<std::uint16_t>(name.size()));
    out.Bytes(name);
}

void WriteKlassenkopf(ByteSink& out, std::string_view name) {
    out.U16(kNewClassTag);
    out.U16(kSchema);
    WriteClassName(out, name);
}

}  // namespace kon
