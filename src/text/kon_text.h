#pragma once
// Reading and writing the Kon text file.

#include <iosfwd>
#include <string_view>

#include "driver/console.h"
#include "model/kon_modell.h"

namespace kon {

// Reads a text file from a binary stream at its start into the model's points,
// polygons and instances (line ends are handled here). Non-zero on success,
// 0 after a reported failure. inputPath names the input in read errors.
int ReadKonText(KonModell& model, std::istream& in, Console& console, std::string_view inputPath);

// Writes the whole model as a text file with the given field separator;
// every line ends with CR LF.
void WriteKonText(const KonModell& model, std::ostream& out, char separator);

}  // namespace kon
