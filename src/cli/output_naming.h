#pragma once
// Which format and file name an input is converted to. The rules are
// konvert's: the output sits next to the input under the same stem, an input
// whose extension is "kon" (any case) becomes a Kon text file and every other
// input an archive; '/' and '\' both separate components and only the last
// component's dot counts.

#include <optional>
#include <string>
#include <string_view>

#include "cli/format_registry.h"

namespace kon::cli {

std::string_view PathBaseName(std::string_view path);
// After the last component's last dot; empty without one.
std::string PathExtension(std::string_view path);
// The path without the last component's extension and its dot.
std::string PathStem(std::string_view path);

// konvert's direction: text for a ".kon" input, an archive otherwise.
const Format& DefaultFormat(std::string_view input, const FormatRegistry& registry);

// The format's extension for this run (the text extension is a setting).
std::string ExtensionOf(const Format& format, const WriteSettings& settings);

// stem + extension next to the input, or in `folder` when one is given.
std::string OutputName(std::string_view input, const Format& format, const WriteSettings& settings,
                       const std::optional<std::string>& folder);

}  // namespace kon::cli
