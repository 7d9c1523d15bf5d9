#include "archive/framing_checks.h"

#include <string>

#include "model/integer_text.h"

namespace kon {

namespace {

constexpr std::uint16_t kNewClassTag = 0xFFFF;
constexpr std::uint16_t kSchema = 0x0000;

std::int16_t Signed16(std::uint32_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(value));
}
std::int32_t Signed32(std::uint32_t value) {
    return static_cast<std::int32_t>(value);
}

// Claims n bytes for the value that starts here and remembers where it is.
bool Start(ArchiveInput& in, std::size_t n) {
    in.valueStart = in.cursor.Offset();
    return in.cursor.Need(n);
}

}  // namespace

CheckResult ExpectWord(ArchiveInput& in, std::uint16_t expected) {
    if (!Start(in, 2)) return CheckResult::kShort;
    in.valueFound = in.cursor.U16();
    if (in.valueFound == expected) return CheckResult::kMatch;
    in.Note(Signed16(in.valueFound), Signed16(expected));
    return CheckResult::kMismatch;
}

CheckResult ExpectDword(ArchiveInput& in, std::uint32_t expected) {
    if (!Start(in, 4)) return CheckResult::kShort;
    in.valueFound = in.cursor.U32();
    if (in.valueFound == expected) return CheckResult::kMatch;
    in.Note(Signed32(in.valueFound), Signed32(expected));
    return CheckResult::kMismatch;
}

CheckResult ExpectByte(ArchiveInput& in, std::uint8_t expected) {
    if (!Start(in, 1)) return CheckResult::kShort;
    in.valueFound = in.cursor.U8();
    if (in.valueFound == expected) return CheckResult::kMatch;
    in.Note(in.valueFound, expected);
    return CheckResult::kMismatch;
}

CheckResult ExpectClassName(ArchiveInput& in, std::string_view name) {
    if (!Start(in, 2)) return CheckResult::kShort;
    const std::uint16_t length = in.cursor.U16();
    in.valueFound = length;
    // A wrong length fails before the name bytes are read.
    if (length != name.size()) return CheckResult::kMismatch;
    if (!Start(in, length)) return CheckResult::kShort;
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

std::string DescribeKopfFault(const ArchiveInput& in, KopfResult result, std::string_view name) {
    const std::string found = "0x" + Hex(in.valueFound);
    if (result == KopfResult::kTagOrSchema) {
        // The tag is checked first; a mismatch found right behind it is the schema.
        return "expected the class header of " + std::string(name) +
               " (tag 0xffff, schema 0x0000), found " + found;
    }
    if (in.valueFound != name.size()) {
        return "expected the class name " + std::string(name) + " of length " +
               Decimal(static_cast<std::int64_t>(name.size())) + ", found length " +
               Decimal(in.valueFound);
    }
    return "expected the class name " + std::string(name) + ", found other bytes";
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
