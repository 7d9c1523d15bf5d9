#pragma once
// Reading and writing the binary Kon archive.

#include <iosfwd>
#include <string>
#include <string_view>

#include "driver/console.h"
#include "model/kon_modell.h"

namespace kon {

// Reads an archive from a binary stream at its first byte. Success shows only
// as model.Geladen == 1; every failure has been reported through the console.
// inputPath names the input in the messages. On return the stream stands
// right behind the last byte the reader consumed.
void ReadKonArchive(KonModell& model, std::istream& in, Console& console,
                    std::string_view inputPath);

// Reports "EOF not found!" when the stream does not end right here.
void CheckArchiveEnd(std::istream& in, Console& console);

// Writes the archive to `path` through a temporary file; non-zero on success,
// 0 after a reported failure (too large, cannot open, write error).
int WriteKonArchive(const KonModell& model, const std::string& path, Console& console);

// Whether the archive's 16-bit counts can hold the model: every count in
// 0..32767 and at most 65535 polygon index objects.
bool FitsKonArchive(const KonModell& model);

// The archive's bytes, for a model that fits the format's 16-bit counts.
void WriteKonArchiveTo(const KonModell& model, std::ostream& out);

}  // namespace kon
