#pragma once
// Archive bytes and reads for the codec tests, and a field-by-field dump of
// a model that is independent of the program's writer.

#include <string>

#include "model/diagnostic.h"
#include "model/kon_modell.h"

namespace kon::test {

// The archive bytes the program's writer gives for a model.
std::string ArchiveBytes(const KonModell& model);

// ReadKonArchive and then CheckArchiveEnd, as LoadKonStream runs them;
// `out` is every message in order, as konvert shows them without its waits.
struct ReadOutcome {
    KonModell model;
    Diagnostics diagnostics;
    std::string out;
};
ReadOutcome ReadArchiveBytes(const std::string& bytes);

// The variant, every count and every record, each field's bytes in turn,
// so two models compare as strings.
std::string Records(const KonModell& model);
// What an archive keeps of a model: the polygons in the stream's size-class
// order without empty ones, and no Zusatz lists in a MOLK model.
KonModell AsArchived(KonModell model);

}  // namespace kon::test
