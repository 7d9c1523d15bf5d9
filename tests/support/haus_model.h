#pragma once
// The shipped example house, worked out by hand rather than by the program.

#include <string>

#include "model/kon_modell.h"

namespace kon::test {

// examples/haus.csv as the program should load it, plan lines included.
KonModell HausModell();

// The archive bytes the program's writer gives for a model.
std::string ArchiveBytes(const KonModell& model);

// The bytes of a file in examples/, empty when it cannot be read.
std::string ExampleFile(const std::string& name);

}  // namespace kon::test
