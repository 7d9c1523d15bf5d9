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
    for (const Format& f : registry.All()) {
        const std::string abilities = std::string(f.CanRead() ? "read" : "") +
                                      (f.CanRead() && f.CanWrite() ? "," : "") +
                                      (f.CanWrite() ? "write" : "");
        out << Column(f.name, 6) << Column(abilities, 11) << Column(f.extension, 7) << f.description
            << '\n';
    }
    return kExitOk;
}

}  // namespace kon::cli
