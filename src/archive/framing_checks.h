#pragma once
// The small read-and-compare checks that judge every framing value of the
// archive, and the new-class header (Klassenkopf) that opens each array.

#include <cstdint>
#include <string_view>

#include "archive/archive_input.h"
#include "archive/byte_cursor.h"

namespace kon {

enum class CheckResult {
    kMatch,
    kMismatch,  // an "I: %d S: %d\n" note was added (name checks add none)
    kShort,     // the file ended inside the value; nothing was compared
};

// Number checks: on a mismatch they note the value read and the expected
// one, as signed 16 bits, signed 32 bits and 0..255. Each sets the input's
// valueStart and valueFound.
CheckResult ExpectWord(ArchiveInput& in, std::uint16_t expected);
CheckResult ExpectDword(ArchiveInput& in, std::uint32_t expected);
CheckResult ExpectByte(ArchiveInput& in, std::uint8_t expected);
// Length word, then, only when the length is right, the name bytes; no note.
CheckResult ExpectClassName(ArchiveInput& in, std::string_view name);

enum class KopfResult {
    kOk,
    kTagOrSchema,  // one "I: %d S: %d\n" note was added
    kName,
    kShort,
};

KopfResult ReadKlassenkopf(ArchiveInput& in, std::string_view name);
// The English account of a failed Klassenkopf, from the input's last value.
std::string DescribeKopfFault(const ArchiveInput& in, KopfResult result, std::string_view name);

void WriteClassName(ByteSink& out, std::string_view name);
void WriteKlassenkopf(ByteSink& out, std::string_view name);

// The class names the arrays declare.
inline constexpr std::string_view kClassPunkt = "CObPunkt";
inline constexpr std::string_view kClassIndex = "CObIndex";
inline constexpr std::string_view kClassFormat = "CObFormat";
inline constexpr std::string_view kClassStrichLinie = "CObStrichLinie";
inline constexpr std::string_view kClassLinie = "CObLinie";
inline constexpr std::string_view kClassMassLinie = "CObMassLinie";

}  // namespace kon
