// kon: the scriptable companion of konvert. It never asks and never waits;
// results go to standard output, messages to standard error.

#include <charconv>
#include <cmath>
#include <iostream>
#include <optional>
#include <string>

#include <CLI/CLI.hpp>

#include "cli/commands.h"
#include "cli/format_registry.h"
#include "io/model_heap.h"
#include "io/platform.h"

#ifndef KON_VERSION
#define KON_VERSION "unknown"
#endif

namespace {

using kon::cli::kExitUsage;

// A separator must not occur in the numbers of a Kon text file (digits,
// sign, decimal comma, point) nor end a line; tab may be named "tab" or "\t".
std::optional<char> ParseSeparator(const std::string& text) {
    if (text == "tab" || text == "\\t" || text == "\t") return '\t';
    if (text.size() != 1) return std::nullopt;
    const char c = text[0];
    constexpr std::string_view kAllowed = " !\"#$%&'()*/:;<=>?@[\\]^_`{|}~";
    if (kAllowed.find(c) == std::string_view::npos) return std::nullopt;
    return c;
}

// ".txt" or "txt"; a name component only, never a path.
std::optional<std::string> ParseExtension(std::string text) {
    if (!text.empty() && text[0] != '.') text.insert(0, ".");
    if (text.size() < 2 || text.find_first_of(std::string_view("/\\\0", 3)) != std::string::npos) {
        return std::nullopt;
    }
    return text;
}

// Kon units per source unit: a positive finite number, read the same way
// whatever the locale.
std::optional<double> ParseScale(const std::string& text) {
    double scale = 0;
    const char* end = text.data() + text.size();
    const auto [stop, ec] = std::from_chars(text.data(), end, scale);
    if (ec != std::errc() || stop != end || !std::isfinite(scale) || !(scale > 0)) {
        return std::nullopt;
    }
    return scale;
}

// The name of a writable format, in any letter case; it becomes the
// format's own name. The list of all names, which loads the bridge, is made
// only for the help and for a name kon does not know itself.
class WritableFormat : public CLI::Validator {
  public:
    explicit WritableFormat(const kon::cli::FormatRegistry& registry) {
        desc_function_ = [&registry] {
            return CLI::detail::generate_set(registry.WritableNames());
        };
        func_ = [&registry](std::string& name) {
            const kon::cli::Format* format = registry.Find(name);
            if (format != nullptr && format->CanWrite()) {
                name = format->name;
                return std::string();
            }
            return name + " not in " + CLI::detail::generate_set(registry.WritableNames());
        };
    }
};

void AddInspect(CLI::App& command, kon::cli::InspectOptions& options) {
    command.add_flag("--json", options.json, "one JSON object per file and line");
    command.add_option("FILE", options.files, "Kon archives or Kon text files")->required();
}

// Results that did not reach standard output (a full disk, a closed pipe)
// are a failure, not an empty success.
int Delivered(int status) {
    std::cout.flush();
    if (std::cout) return status;
    std::cerr << "kon: the results could not be written to standard output\n";
    return kon::cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    using namespace kon::cli;
    // Before anything is opened: no output may become a standard stream.
    // Results due on a closed standard output are lost, and said so.
    if (kon::platform::GuardStandardStreams()) std::cout.setstate(std::ios::badbit);
    // The memory of one conversion's model is kept for the next one instead
    // of being faulted in again for every file.
    kon::PrepareModelHeap();
    const FormatRegistry registry = FormatRegistry::Standard();

    CLI::App app{"kon: inspect, check and convert Kon models without a dialogue", "kon"};
    app.set_version_flag("--version", std::string("kon ") + KON_VERSION);
    app.footer(
        "Exit codes: 0 everything done, 1 at least one file refused or failed, 2 the command line "
        "is wrong.\nSee kon(1) for the formats, the fault codes and the glTF conventions.");

    InspectOptions info;
    CLI::App* infoCommand = app.add_subcommand("info", "what a model holds: counts, bounds, size");
    AddInspect(*infoCommand, info);

    InspectOptions check;
    CLI::App* checkCommand =
        app.add_subcommand("check", "whether konvert's readers read each file without a fault");
    AddInspect(*checkCommand, check);

    ConvertOptions convert;
    std::string separator;
    std::string extension;
    CLI::App* convertCommand = app.add_subcommand(
        "convert", "convert files (default: .kon to Kon text, anything else to a Kon archive)");
    convertCommand->add_option("--to", convert.to, "output format (see kon formats)")
        ->check(WritableFormat(registry));
    convertCommand->add_option("-o,--output", convert.output,
                               "output file (one input) or existing folder");
    convertCommand->add_flag("--force", convert.force, "replace existing outputs");
    convertCommand->add_option("--separator", separator,
                               "field separator of Kon text output (default ;)");
    convertCommand->add_option("--extension", extension,
                               "extension of Kon text output (default .csv)");
    convertCommand->add_option("-j,--jobs", convert.jobs, "conversions in parallel (default 1)")
        ->check(CLI::Range(1u, 64u));
    convertCommand->add_flag("-v,--verbose", convert.verbose, "name each output written");
    std::string scale;
    constexpr const char* kScaleHelp =
        "Kon units per unit of an imported file (default 1000 for glTF and Collada, else 1)";
    convertCommand->add_option("--scale", scale, kScaleHelp)->type_name("NUMBER");
    convertCommand->add_option("FILE", convert.files, "input files")->required();

    ConvertOptions plan;
    bool noFill = false;
    CLI::App* planCommand =
        app.add_subcommand("plan", "plan drawing as SVG; short for convert --to svg");
    planCommand->add_option("-o,--output", plan.output, "output file or existing folder");
    planCommand->add_flag("--force", plan.force, "replace an existing output");
    planCommand->add_flag("--no-fill", noFill, "leave the polygons out");
    planCommand->add_option("--scale", scale, kScaleHelp)->type_name("NUMBER");
    std::string planFile;
    planCommand->add_option("FILE", planFile, "input file")->required();

    CLI::App* formatsCommand = app.add_subcommand("formats", "what can be read and written");

    const auto usage = [&](const std::string& message) {
        if (!message.empty()) std::cerr << "kon: " << message << "\n\n";
        std::cerr << app.help();
        return kExitUsage;
    };
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) return Delivered(app.exit(e));  // --help and --version
        return usage(e.what());
    }

    // A reader of the results that goes away (`kon info *.kon | head -1`)
    // ends kon as it ends any such program; what writes files goes on.
    if (*infoCommand) return Delivered(RunInfo(info, std::cout, std::cerr));
    if (*checkCommand) return Delivered(RunCheck(check, std::cout, std::cerr));
    if (*formatsCommand) return Delivered(RunFormats(registry, std::cout));
    kon::platform::IgnoreBrokenPipes();
    if (convertCommand->count("--scale") + planCommand->count("--scale") != 0) {
        const std::optional<double> parsed = ParseScale(scale);
        if (!parsed) return usage("--scale: a number greater than 0, such as 1000 or 0.5");
        convert.reading.scale = parsed;
        plan.reading.scale = parsed;
    }
    if (*convertCommand) {
        if (!separator.empty() || convertCommand->count("--separator") != 0) {
            const std::optional<char> parsed = ParseSeparator(separator);
            if (!parsed)
                return usage("--separator: one of tab, space or !\"#$%&'()*/:;<=>?@[\\]^_`{|}~");
            convert.settings.separator = *parsed;
        }
        if (convertCommand->count("--extension") != 0) {
            const std::optional<std::string> parsed = ParseExtension(extension);
            if (!parsed) return usage("--extension: a name ending such as .csv or txt");
            convert.settings.extension = *parsed;
        }
        const int code = RunConvert(convert, registry, std::cerr);
        return code == kExitUsage ? usage("") : code;
    }
    if (*planCommand) {
        plan.to = "svg";
        plan.settings.fill = !noFill;
        plan.files = {planFile};
        return RunConvert(plan, registry, std::cerr);
    }
    return usage("");
}
