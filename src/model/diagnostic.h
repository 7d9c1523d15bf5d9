#pragma once
// What a reader or writer found, as values: a front end decides how to show
// them (konvert prints the German message and waits; kon prints GNU-style
// English lines or JSON). The codecs themselves never touch a console.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kon {

enum class FaultKind : std::uint8_t {
    kNone,            // notes and warnings that are no fault
    kCannotOpen,      // not a readable regular file
    kReadError,       // the device failed, or the file changed while read
    kOutOfMemory,     // the model does not fit in memory
    kTruncated,       // archive: ended inside a value
    kBadVersion,      // archive: header words neither MOLK nor TAV
    kBadFraming,      // archive: class tag, schema, class name or record separator
    kBadCount,        // archive: a count that cannot be (negative, too many)
    kBadIndexStream,  // archive: the polygon index stream's markers or lengths
    kBadPointIndex,   // a polygon names a point that does not exist
    kNotKonText,      // text: no "KON" header with a separator
    kBadVariant,      // text: the header names neither MOLK nor TAV
    kMissingSection,  // text: point, polygon or instance section not found
    kTooManyLines,    // text: a section longer than a model can hold
    kBadPointRow,     // text: a point row without its three coordinates
    kBadInstanceRow,  // text: an instance row without its nine fields
    kTooLarge,        // writing: the model does not fit an archive's counts
    kWriteError,      // writing: the output could not be written completely
    kTrailingBytes,   // archive: bytes after the last array
    kImportFailed,    // another format: its reader failed, or the model exceeds a Kon model
};

// A stable name per kind, for scripts (kon check --json) and the manual.
std::string_view FaultCode(FaultKind kind);

enum class Severity : std::uint8_t {
    kNote,     // shown without a wait ("I: %d S: %d")
    kWarning,  // shown with a wait, the read still succeeds ("EOF not found!")
    kError,    // the read or write failed
};

struct Location {
    enum class Unit : std::uint8_t { kNone, kByte, kLine };
    Unit unit = Unit::kNone;
    std::uint64_t value = 0;  // byte offset from 0, or line number from 1
};

struct Diagnostic {
    Severity severity = Severity::kError;
    FaultKind kind = FaultKind::kNone;
    std::string message;      // konvert's own text, exactly, with its line end
    std::string explanation;  // English: what was expected and what was found
    Location where;
};

// Everything one read or write reported, in the order it happened. At most
// one error, and nothing follows it but the archive end check's warning.
struct Diagnostics {
    std::vector<Diagnostic> items;

    const Diagnostic* Error() const {
        for (const Diagnostic& d : items) {
            if (d.severity == Severity::kError) return &d;
        }
        return nullptr;
    }
    bool Ok() const { return Error() == nullptr; }
};

}  // namespace kon
