#pragma once
// The shipped example house in every form the end-to-end tests meet it, each
// worked out by hand rather than by the program.

#include <string>

#include "model/kon_modell.h"

namespace kon::test {

// examples/haus.csv as the program should load it: points, polygons in file
// order, the instance, and the plan lines derived from them.
KonModell HausModell();

// The house as it comes back from the text its archive converts to: a MOLK
// archive carries no supplement group, and text carries no mark.
KonModell HausModellAfterArchive();

// The text its archive converts to: CR LF lines, the polygons sorted by
// corner count as the archive stores them, `separator` between fields, and
// no supplement group, which a MOLK archive does not carry.
std::string HausArchiveText(char separator = ';');

// The archive bytes the program's writer gives for a model.
std::string ArchiveBytes(const KonModell& model);

// The bytes of a file in examples/, empty when it cannot be read.
std::string ExampleFile(const std::string& name);

}  // namespace kon::test
