#include "cli/output_naming.h"

#include <filesystem>

namespace kon::cli {

namespace {

std::size_t LastComponentStart(std::string_view path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string_view::npos ? 0 : separator + 1;
}

std::size_t ExtensionDot(std::string_view path) {
    const auto dot = path.rfind('.');
    return dot == std::string_view::npos || dot < LastComponentStart(path) ? std::string_view::npos
                                                                           : dot;
}

}  // namespace

std::string_view PathBaseName(std::string_view path) {
    return path.substr(LastComponentStart(path));
}

std::string PathExtension(std::string_view path) {
    const auto dot = ExtensionDot(path);
    return dot == std::string_view::npos ? std::string() : std::string(path.substr(dot + 1));
}

std::string PathStem(std::string_view path) {
    return std::string(path.substr(0, ExtensionDot(path)));
}

const Format& DefaultFormat(std::string_view input, const FormatRegistry& registry) {
    const Format* format =
        registry.Find(AsciiLowerCopy(PathExtension(input)) == "kon" ? "csv" : "kon");
    // Both Kon forms are always registered.
    return *format;
}

std::string ExtensionOf(const Format& format, const WriteSettings& settings) {
    return format.usesTextExtension ? settings.extension : format.extension;
}

std::string OutputName(std::string_view input, const Format& format, const WriteSettings& settings,
                       const std::optional<std::string>& folder) {
    const std::string extension = ExtensionOf(format, settings);
    if (!folder) return PathStem(input) + extension;
    const std::string name = PathStem(PathBaseName(input)) + extension;
    return (std::filesystem::path(*folder) / name).string();
}

}  // namespace kon::cli
