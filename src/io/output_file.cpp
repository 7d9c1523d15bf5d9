#include "io/output_file.h"

#include <filesystem>
#include <fstream>

#include "io/platform.h"

namespace fs = std::filesystem;

namespace kon {

namespace {

// The file a write in place would change: the output name itself, or the
// final target of a chain of symbolic links, dangling or not.
fs::path ResolveTarget(const fs::path& output) {
    constexpr int kMaxLinks = 40;
    fs::path current = output;
    for (int i = 0; i < kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec))) return current;
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) return current;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return current;
}

}  // namespace

OutputResult WriteOutputFile(const std::string& outputName,
                             const std::function<void(std::ostream&)>& write) {
    const fs::path target = ResolveTarget(fs::path(outputName));
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    fs::perms permissions = platform::NewFilePermissions();
    if (fs::exists(status)) {
        if (!fs::is_regular_file(status) || !platform::MayWrite(target)) {
            return OutputResult::kOpenFailed;
        }
        permissions = status.permissions() & fs::perms::mask;
    }

    fs::path directory = target.parent_path();
    if (directory.empty()) directory = ".";
    fs::path temporary;
    if (!platform::CreateExclusiveFile(directory, temporary)) return OutputResult::kOpenFailed;

    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out) {
        fs::remove(temporary, ec);
        return OutputResult::kOpenFailed;
    }
    write(out);
    out.close();
    if (out.fail()) {
        fs::remove(temporary, ec);
        return OutputResult::kWriteFailed;
    }
    fs::permissions(temporary, permissions, fs::perm_options::replace, ec);
    fs::rename(temporary, target, ec);
    if (ec) {
        fs::remove(temporary, ec);
        return OutputResult::kOpenFailed;
    }
    return OutputResult::kWritten;
}

}  // namespace kon
