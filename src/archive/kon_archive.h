#pragma once
// Reading and writing the binary Kon archive: bytes in, model and
// diagnostics out; model in, bytes out.

#include <iosfwd>
#include <optional>
#include <string_view>

#include "model/diagnostic.h"
#include "model/kon_modell.h"

namespace kon {

// Reads an archive from a binary stream at its first byte into a model made
// empty first. `name` names the input in the messages. The diagnostics hold
// the notes met on the way and, on failure, the one error. On return the
// stream stands right behind the last byte the reader consumed.
Diagnostics ReadKonArchive(std::istream& in, std::string_view name, KonModell& model);

// The warning "EOF not found!" when the stream does not end right here.
Diagnostics CheckArchiveEnd(std::istream& in);

// The fault "Modell zu gross fuer ein Kon-Archiv!\n" when a count does not fit
// the archive's 16-bit words (kMaxItems items of an array, kMaxIndexObjects
// polygon index objects), its explanation naming the first count over its
// limit with its number; nothing when the model fits.
std::optional<Diagnostic> CheckFitsKonArchive(const KonModell& model);

// The archive's bytes, for a model that CheckFitsKonArchive accepts.
void WriteKonArchive(const KonModell& model, std::ostream& out);

}  // namespace kon
