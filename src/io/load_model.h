#pragma once
// Loading a Kon file by its content (text: "KON" first, behind an optional
// byte order mark; otherwise an archive), with every fault as a value.
//
// TEMPORARY: this header and load_model_shim.cpp stand in for the reshaped
// core's io/load_model.h until it is merged; they are replaced by it then.

#include <cstdint>
#include <iosfwd>
#include <optional>
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

// Reads either form of either variant; a text file gets its lines derived.
LoadResult LoadKonFile(const std::string& path, KonModell& model);
LoadResult LoadKonStream(std::istream& in, std::string_view name, KonModell& model);

// TEMPORARY: declared by archive/kon_archive.h in the reshaped core.
void WriteKonArchive(const KonModell& model, std::ostream& out);
std::optional<Diagnostic> CheckFitsKonArchive(const KonModell& model);

}  // namespace kon
