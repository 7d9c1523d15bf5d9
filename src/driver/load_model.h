#pragma once

#include <iosfwd>
#include <string>

#include "driver/console.h"
#include "model/kon_modell.h"

namespace kon {

// Opens the input and reads it with LoadModelFrom. The outcome is
// model.Geladen and model.Variante; every failure has been reported.
void LoadModel(KonModell& model, const std::string& path, Console& console);

// Tells the text form ("KON" in any case at the start, also behind a UTF-8
// byte order mark) from the archive and reads it from a seekable binary
// stream at its start: the archive with its end check, the text file followed
// by the line derivation. `path` names the input in messages.
void LoadModelFrom(KonModell& model, std::istream& in, Console& console, const std::string& path);

}  // namespace kon
