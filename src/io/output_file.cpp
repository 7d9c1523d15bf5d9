#include "io/output_file.h"

#include <filesystem>
#include <optional>
#include <ostream>
#include <streambuf>
#include <vector>

#include "io/platform.h"

namespace fs = std::filesystem;

namespace kon {

namespace {

// The links a chain may hold before it counts as unresolvable (what Linux
// follows).
constexpr int kMaxLinks = 40;
// The writers' bytes reach the file in pieces of this size.
constexpr std::size_t kBufferSize = std::size_t{1} << 18;

// The file a write in place would change: the output name itself, or the
// final target of a chain of symbolic links, dangling or not. None when the
// name is a link that loops or a chain longer than the system follows.
std::optional<fs::path> ResolveTarget(const fs::path& output) {
    if (platform::IsUnresolvableLink(output)) return std::nullopt;
    fs::path current = output;
    for (int i = 0; i <= kMaxLinks; ++i) {
        std::error_code ec;
        if (!fs::is_symlink(fs::symlink_status(current, ec))) return current;
        const fs::path link = fs::read_symlink(current, ec);
        if (ec) return std::nullopt;
        current = link.is_absolute() ? link : current.parent_path() / link;
    }
    return std::nullopt;
}

// Hands the writers' bytes to the temporary file and remembers the first
// failure, wherever it shows: in a write, at the final flush or in the sync.
class TemporaryFileBuf : public std::streambuf {
  public:
    explicit TemporaryFileBuf(platform::TemporaryFile& file) : file_(file), buffer_(kBufferSize) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }

    bool Failed() const { return failed_; }

  protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        if (count >= epptr() - pptr()) {
            // Large pieces go straight to the file, behind what is buffered.
            if (!Drain() || !Write(data, static_cast<std::size_t>(count))) return 0;
            return count;
        }
        traits_type::copy(pptr(), data, static_cast<std::size_t>(count));
        pbump(static_cast<int>(count));
        return count;
    }
    int sync() override { return Drain() ? 0 : -1; }

  private:
    bool Drain() {
        const bool written = Write(pbase(), static_cast<std::size_t>(pptr() - pbase()));
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return written;
    }
    bool Write(const char* data, std::size_t size) {
        if (!failed_ && size > 0 && !file_.Write(data, size)) failed_ = true;
        return !failed_;
    }

    platform::TemporaryFile& file_;
    std::vector<char> buffer_;
    bool failed_ = false;
};

}  // namespace

bool OutputNameTaken(const std::string& outputName) {
    std::error_code ec;
    return fs::exists(fs::status(outputName, ec)) || platform::IsUnresolvableLink(outputName);
}

OutputResult WriteOutputFile(const std::string& outputName,
                             const std::function<void(std::ostream&)>& write, bool replace) {
    if (!replace && OutputNameTaken(outputName)) return OutputResult::kNameTaken;
    const std::optional<fs::path> target = ResolveTarget(fs::path(outputName));
    // A link is never replaced by a file: an unresolvable one cannot be opened.
    if (!target) return OutputResult::kOpenFailed;
    std::error_code ec;
    const fs::file_status status = fs::status(*target, ec);
    const bool exists = fs::exists(status);
    if (exists && (!fs::is_regular_file(status) || !platform::MayWrite(*target))) {
        return OutputResult::kOpenFailed;
    }

    fs::path folder = target->parent_path();
    if (folder.empty()) folder = ".";
    platform::TemporaryFile temporary;
    if (!temporary.Create(folder)) return OutputResult::kOpenFailed;
    {
        TemporaryFileBuf buffer(temporary);
        std::ostream out(&buffer);
        write(out);
        out.flush();
        // Any failure so far leaves the old output alone; the temporary file
        // goes with `temporary`.
        if (!out || buffer.Failed() || !temporary.Sync()) return OutputResult::kWriteFailed;
    }
    const bool identityKept = temporary.TakeIdentityOf(*target);
    if (replace && exists && !identityKept) {
        return temporary.CopyOnto(*target) ? OutputResult::kWritten : OutputResult::kOpenFailed;
    }
    if (temporary.MoveOnto(*target, replace)) return OutputResult::kWritten;
    return !replace && OutputNameTaken(outputName) ? OutputResult::kNameTaken
                                                   : OutputResult::kOpenFailed;
}

}  // namespace kon
