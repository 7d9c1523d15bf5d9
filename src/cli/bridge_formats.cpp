// The formats of the assimp bridge, from a library of their own that is
// loaded only when a run needs a format kon does not know itself: loading
// assimp cost every run 1.3 ms of processor time and 8.6 MiB
// (bridge_module.cpp). Where the bridge is linked in, only its list waits
// until it is needed.

#include "cli/format_registry.h"

#if defined(KON_BRIDGE_LINKED)

namespace kon::cli {

void AddAssimpFormats(FormatRegistry& registry);  // bridge_module.cpp, linked in

void AddBridgeFormats(FormatRegistry& registry) {
    registry.AddLater(AddAssimpFormats);
}

}  // namespace kon::cli

#elif defined(KON_HAVE_ASSIMP)

#include <cstring>
#include <filesystem>
#include <iostream>
#include <string>
#include <system_error>

#include "io/platform.h"
#include "kon_build_id.h"

namespace kon::cli {

namespace {

namespace fs = std::filesystem;

using BuildFunction = const char* (*)();
using AddFunction = void (*)(FormatRegistry&);

// Where the library is: next to the program (the build tree, or a program
// unpacked in one folder), else where it is installed, relative to the
// program, so a moved installation still finds its own.
std::string LoadInto(FormatRegistry& registry) {
    const fs::path folder = platform::ProgramFolder();
    if (folder.empty()) return "the folder of kon is not known";
    std::string why;
    for (const fs::path& candidate :
         {folder / KON_BRIDGE_MODULE, folder / KON_BRIDGE_INSTALLED / KON_BRIDGE_MODULE}) {
        std::error_code ec;
        if (!fs::is_regular_file(candidate, ec)) continue;
        const platform::LoadedModule module = platform::LoadModule(candidate);
        if (module.handle == nullptr) {
            // A library it needs that is missing is named without it.
            why = module.error.starts_with(candidate.string())
                      ? module.error
                      : candidate.string() + ": " + module.error;
            continue;
        }
        const auto build = reinterpret_cast<BuildFunction>(
            platform::ModuleFunction(module.handle, "kon_bridge_build"));
        const auto add = reinterpret_cast<AddFunction>(
            platform::ModuleFunction(module.handle, "kon_add_bridge_formats"));
        // Another build of kon may lay its objects out otherwise.
        if (build == nullptr || add == nullptr || std::strcmp(build(), KON_BRIDGE_BUILD) != 0) {
            why = candidate.string() + " belongs to another build of kon";
            continue;
        }
        add(registry);
        return {};
    }
    if (why.empty()) {
        why = std::string(KON_BRIDGE_MODULE) + " is neither next to kon nor in " +
              (folder / KON_BRIDGE_INSTALLED).lexically_normal().string();
    }
    return why;
}

}  // namespace

void AddBridgeFormats(FormatRegistry& registry) {
    registry.AddLater([](FormatRegistry& more) {
        if (const std::string why = LoadInto(more); !why.empty()) {
            std::cerr << "kon: warning: the formats of assimp are left out: " << why << '\n';
        }
    });
}

}  // namespace kon::cli

#else

namespace kon::cli {

void AddBridgeFormats(FormatRegistry&) {}

}  // namespace kon::cli

#endif
