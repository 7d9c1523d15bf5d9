#pragma once
// Everything one archive read works with: the bytes, the console for its
// reports, the input's name for the messages, and the escape flag of the
// instance separators.

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "archive/byte_cursor.h"
#include "driver/console.h"

namespace kon {

struct ArchiveInput {
    ArchiveInput(ByteCursor bytes, Console& out, std::string_view inputPath)
        : cursor(std::move(bytes)), console(out), path(inputPath) {}

    ByteCursor cursor;
    Console& console;
    std::string_view path;
    // Set by the first escaped instance separator; one archive is read per
    // run, so living as long as the read is living as long as the run.
    bool formatEscapeState = false;

    // Reports a failure and gives the caller its failure result.
    bool Fail(const std::string& message) {
        console.ReportAndWait(message);
        return false;
    }
    // The file ended inside a value, or the stream failed before it could
    // give the bytes.
    bool FailShort() {
        if (cursor.ReadFailed()) return FailRead();
        return Fail("Unerwartetes Dateiende in " + std::string(path) + "!\n");
    }
    bool FailRead() { return Fail("Fehler beim Lesen von " + std::string(path) + "!\n"); }
};

// "%x" of a Klassenmarke: taken as signed 16 bits, widened with sign to 32
// bits, lower-case hexadecimal (0x8010 shows as ffff8010).
std::string MarkeHex(std::uint16_t marke);
// "%x" of a 32-bit value, lower-case, no prefix.
std::string Hex(std::uint32_t value);
// "%d" of a signed value.
std::string Decimal(std::int64_t value);

}  // namespace kon
