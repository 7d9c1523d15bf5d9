#include "driver/paths.h"

namespace kon {

namespace {
constexpr std::string_view kSeparators = "/\\";

std::size_t LastComponentStart(std::string_view path) {
    const auto sep = path.find_last_of(kSeparators);
    return sep == std::string_view::npos ? 0 : sep + 1;
}

// Position of the extension's dot, or npos.
std::size_t ExtensionDot(std::string_view path) {
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || dot < LastComponentStart(path)) {
        return std::string_view::npos;
    }
    return dot;
}
}  // namespace

std::string PathExtension(std::string_view path) {
    const auto dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot + 1));
}

std::string PathStem(std::string_view path) {
    return std::string(path.substr(0, ExtensionDot(path)));
}

std::string_view PathBaseName(std::string_view path) {
    return path.substr(LastComponentStart(path));
}

std::string PathBaseNameCopy(std::string_view path) {
    return std::string(PathBaseName(path));
}

}  // namespace kon
