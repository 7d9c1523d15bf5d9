#pragma once
// How kon shows faults: GNU-style lines that editors can jump to, in English
// with konvert's own German text in parentheses, and the JSON error object.

#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "model/diagnostic.h"

namespace kon::cli {

// "FILE:LINE: error: WHAT (konvert: MESSAGE)\n", "FILE: byte OFFSET: ..." for
// an archive, "FILE: error: ..." without a place.
std::string RenderDiagnostic(std::string_view file, const Diagnostic& d);
// Every item in order; after an error, only what led to it.
std::string RenderDiagnostics(std::string_view file, const Diagnostics& all);
// The text with its control characters (but line end and tab) as \xHH, so
// a file name cannot drive the terminal it is shown on.
std::string Printable(std::string_view text);
// A line of kon's own: "FILE: error: TEXT\n".
std::string RenderError(std::string_view file, std::string_view text);

// {"code", "message", "konvert_message", "line" | "offset"}, or null.
nlohmann::ordered_json ErrorJson(const Diagnostics& all);
// The warnings of a file that was read completely (the end check's).
nlohmann::ordered_json WarningsJson(const Diagnostics& all);

// One object on one line; bytes that are not UTF-8 (in a file name) are
// replaced rather than failing the output.
std::string JsonLine(const nlohmann::ordered_json& object);

}  // namespace kon::cli
