// The archive's limits for a model the bridge built, as one line with the
// numbers: the core's own check, so the two never disagree.

#include <string>

#include "archive/kon_archive.h"
#include "bridge/assimp_bridge.h"

namespace kon::bridge {

std::string ArchiveRefusal(const KonModell& model, std::string_view source) {
    const std::optional<Diagnostic> tooLarge = CheckFitsKonArchive(model);
    if (!tooLarge) return {};
    return std::string(source) + ": " + tooLarge->explanation;
}

}  // namespace kon::bridge
