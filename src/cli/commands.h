#pragma once
// The commands of kon. Each returns the exit code: 0 everything done, 1 at
// least one file refused or failed. Results go to `out`, messages to `err`.

#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/format_registry.h"

namespace kon::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;

struct InspectOptions {
    bool json = false;
    std::vector<std::string> files;
};

int RunInfo(const InspectOptions& options, std::ostream& out, std::ostream& err);
int RunCheck(const InspectOptions& options, std::ostream& out, std::ostream& err);

struct ConvertOptions {
    std::string to;  // a format name; empty for konvert's direction
    std::optional<std::string> output;
    bool force = false;
    bool verbose = false;
    unsigned jobs = 1;
    WriteSettings settings;
    ReadSettings reading;  // files of other formats (the assimp bridge)
    std::vector<std::string> files;
};

int RunConvert(const ConvertOptions& options, const FormatRegistry& registry, std::ostream& err);

// One line per format: name, read/write, extension, description.
int RunFormats(const FormatRegistry& registry, std::ostream& out);

}  // namespace kon::cli
