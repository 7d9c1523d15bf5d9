#pragma once
// Loading a Kon file of either form, told apart by its content, into a model.

#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

#include "model/diagnostic.h"
#include "model/kon_modell.h"

namespace kon {

enum class KonForm : std::uint8_t { kArchive, kText };

struct LoadResult {
    KonForm form = KonForm::kArchive;
    Diagnostics diagnostics;
};

// Opens `path` (a regular file only; otherwise "Can't open %s!\n") and reads
// it with LoadKonStream, naming it `path` in the messages.
LoadResult LoadKonFile(const std::string& path, KonModell& model);

// Tells the text form ("KON" in any case at the start, also behind a UTF-8
// byte order mark) from the archive and reads it from a seekable binary
// stream at its start: the archive with its end check, the text file followed
// by the line derivation. A model that does not fit in memory ends the load
// with "Nicht genug Speicher!\n". Both variants are read.
LoadResult LoadKonStream(std::istream& in, std::string_view name, KonModell& model);

}  // namespace kon
