#pragma once
// Reading and writing the Kon text file.

#include <iosfwd>
#include <optional>
#include <string_view>

#include "model/diagnostic.h"
#include "model/kon_modell.h"

namespace kon {

// The text form starts with this mark, in any letter case, behind an
// optional UTF-8 byte order mark.
inline constexpr std::string_view kTextMark = "KON";
inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// Whether the first bytes of a file (at least kUtf8Bom and kTextMark long,
// when the file is) make it a text file; anything else is read as an archive.
bool LooksLikeKonText(std::string_view head);

// Reads a text file from a binary stream at its start into the points,
// polygons and instances of a model made empty first (line ends are handled
// here); the plan lines are left to DeriveLines. `name` names the input in
// read errors. On failure the diagnostics hold the one error, and the model
// what was read before it.
Diagnostics ReadKonText(std::istream& in, std::string_view name, KonModell& model);

// Writes the whole model as a text file with the given field separator;
// every line ends with CR LF.
void WriteKonText(const KonModell& model, std::ostream& out, char separator);

// Why the model does not fit in a text file konvert reads, or nothing.
std::optional<Diagnostic> CheckFitsKonText(const KonModell& model);

}  // namespace kon
