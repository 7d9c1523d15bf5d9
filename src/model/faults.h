#pragma once
// The faults every reader can meet alike, built in one place.

#include <string_view>

#include "model/diagnostic.h"

namespace kon {

// "Fehler beim Lesen von %s!\n": the device failed, or the file changed
// between two passes over it.
Diagnostic ReadFault(std::string_view name, std::string_view explanation, Location where = {});
// "Nicht genug Speicher!\n".
Diagnostic OutOfMemoryFault();

}  // namespace kon
