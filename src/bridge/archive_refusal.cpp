// The archive's own limits for a model the bridge built: the polygon index
// stream and the three derived line arrays.

#include <string>

#include "archive/index_stream.h"
#include "bridge/assimp_bridge.h"

namespace kon::bridge {

std::string ArchiveRefusal(const KonModell& model, std::string_view source) {
    const std::string prefix = std::string(source) + ": ";
    const std::uint64_t objects = CountIndexObjects(model);
    if (objects > kMaxIndexObjects) {
        return prefix + std::to_string(objects) +
               " polygon index objects; a Kon archive holds at most 65535 (a Kon text file "
               "holds the model)";
    }
    const std::pair<const char*, std::size_t> lines[] = {
        {"plan lines", model.Linien.size()},
        {"dashed plan lines", model.StrichLinien.size()},
        {"dimension lines", model.MassLinien.size()}};
    for (const auto& [what, count] : lines) {
        if (count > kMaxPunkte) {
            return prefix + std::to_string(count) + " " + what +
                   "; a Kon archive holds at most 32767 (a Kon text file holds the model)";
        }
    }
    return {};
}

}  // namespace kon::bridge
