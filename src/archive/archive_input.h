#pragma once
// Everything one archive read works with: the bytes, the input's name for
// the messages, the diagnostics it reports, and the escape flag of the
// instance separators.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>

#include "archive/byte_cursor.h"
#include "model/diagnostic.h"

namespace kon {

struct ArchiveInput {
    ArchiveInput(ByteCursor bytes, std::string_view inputName, Diagnostics& out)
        : cursor(std::move(bytes)), name(inputName), diagnostics(out) {}

    ByteCursor cursor;
    std::string_view name;
    Diagnostics& diagnostics;
    // Set by the first escaped instance separator; one archive is read per
    // run, so living as long as the read is living as long as the run.
    bool formatEscapeState = false;
    // The last value a framing check compared: where it starts, what it was.
    std::size_t valueStart = 0;
    std::uint32_t valueFound = 0;

    // Reports a failure and gives the caller its failure result.
    bool Fail(FaultKind kind, std::string message, std::string explanation, std::size_t offset);
    // The value at `offset` that the caller expected did not come: the file
    // ended inside it, or the stream failed before it could give the bytes.
    bool FailShort(std::string_view expected);
    bool FailRead();
    // "I: %d S: %d\n", shown without a wait.
    void Note(std::int64_t read, std::int64_t expected);
    // "Formatfehler %s in %s!\n".
    bool FailFormatfehler(std::string_view number, std::string explanation, std::size_t offset);
};

}  // namespace kon
