#include "model/faults.h"

#include <string>

namespace kon {

Diagnostic ReadFault(std::string_view name, std::string_view explanation, Location where) {
    return Diagnostic{Severity::kError, FaultKind::kReadError,
                      "Fehler beim Lesen von " + std::string(name) + "!\n",
                      std::string(explanation), where};
}

Diagnostic OutOfMemoryFault() {
    return Diagnostic{Severity::kError,
                      FaultKind::kOutOfMemory,
                      "Nicht genug Speicher!\n",
                      "the model does not fit in memory",
                      {}};
}

}  // namespace kon
