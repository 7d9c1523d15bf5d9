#include <algorithm>
#include <ostream>

#include "cli/commands.h"

namespace kon::cli {

namespace {

// The text and at least one blank, up to `width` columns.
std::string Column(std::string text, std::size_t width) {
    text.resize(std::max(text.size() + 1, width), ' ');
    return text;
}

}  // namespace

int RunFormats(const FormatRegistry& registry, std::ostream& out) {
    // As wide as the longest entry needs (assimp's reach "md5camera").
    std::size_t nameWidth = 6;
    std::size_t extensionWidth = 7;
    for (const Format& f : registry.All()) {
        nameWidth = std::max(nameWidth, f.name.size() + 1);
        extensionWidth = std::max(extensionWidth, f.extension.size() + 1);
    }
    for (const Format& f : registry.All()) {
        const std::string abilities = std::string(f.CanRead() ? "read" : "") +
                                      (f.CanRead() && f.CanWrite() ? "," : "") +
                                      (f.CanWrite() ? "write" : "");
        out << Column(f.name, nameWidth) << Column(abilities, 11)
            << Column(f.extension, extensionWidth) << f.description << '\n';
    }
    return kExitOk;
}

}  // namespace kon::cli
