#include "io/output_file.h"

#include <algorithm>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <new>
#include <optional>
#include <ostream>
#include <streambuf>
#include <system_error>
#include <thread>
#include <utility>
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

// Writes full buffers to the temporary file in a thread of its own, while
// the writer fills the next one, and starts the device's writeback of each:
// the final flush then finds little left to wait for. Blocks reach the file
// in the order they were handed over; after a failure none is written.
class BackgroundWriter {
  public:
    explicit BackgroundWriter(platform::TemporaryFile& file) : file_(file) {}
    BackgroundWriter(const BackgroundWriter&) = delete;
    BackgroundWriter& operator=(const BackgroundWriter&) = delete;
    ~BackgroundWriter() { Finish(); }

    // Takes the first `size` bytes of `block` once the block before is
    // written, and hands back a free buffer in its place. False after a
    // failure. A block that is not full (the last, or the only one of a
    // small output) starts no thread; without a thread, or without memory
    // for a second buffer, the block is written here and now.
    bool Submit(std::vector<char>& block, std::size_t size) {
        if (!thread_.joinable() && (size < block.size() || !Start())) {
            return WriteHere(block.data(), size);
        }
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [&] { return !busy_; });
        if (failed_) return false;
        // The free buffer is made before the full one is given away.
        if (pending_.size() < block.size()) {
            try {
                pending_.resize(block.size());
            } catch (const std::bad_alloc&) {
                return WriteHere(block.data(), size);  // the thread is idle meanwhile
            }
        }
        std::swap(block, pending_);
        pendingSize_ = size;
        busy_ = true;
        work_.notify_one();
        return true;
    }

    // Once every block handed over is written, the next goes to `offset`.
    // False after a failure.
    bool MoveTo(std::uint64_t offset) {
        std::unique_lock<std::mutex> lock(mutex_);
        idle_.wait(lock, [&] { return !busy_; });
        failed_ = failed_ || !file_.Seek(offset);
        if (!failed_) offset_ = offset;
        return !failed_;
    }

    // Waits until every block is written; false when any write failed.
    bool Finish() {
        if (thread_.joinable()) {
            {
                const std::lock_guard<std::mutex> lock(mutex_);
                stop_ = true;
            }
            work_.notify_one();
            thread_.join();
        }
        return !failed_;
    }

  private:
    bool Start() {
        if (thread_.joinable()) return true;
        if (tried_) return false;
        tried_ = true;
        try {
            // Signals stay with the thread that removes temporary files.
            const platform::WorkersLeaveSignalsAlone signalsThere;
            thread_ = std::thread([this] { Run(); });
        } catch (const std::system_error&) {
            return false;
        } catch (const std::bad_alloc&) {
            return false;
        }
        return true;
    }

    void Run() {
        std::unique_lock<std::mutex> lock(mutex_);
        for (;;) {
            work_.wait(lock, [&] { return busy_ || stop_; });
            if (!busy_) return;
            lock.unlock();
            const bool written = WriteNow(pending_.data(), pendingSize_);
            lock.lock();
            failed_ = failed_ || !written;
            busy_ = false;
            idle_.notify_one();
        }
    }

    // While no thread writes: never started, or idle under the lock.
    bool WriteHere(const char* data, std::size_t size) {
        failed_ = failed_ || !WriteNow(data, size);
        return !failed_;
    }

    bool WriteNow(const char* data, std::size_t size) {
        if (!file_.Write(data, size)) return false;
        file_.StartWriteback(offset_, size);
        offset_ += size;
        return true;
    }

    platform::TemporaryFile& file_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable idle_;
    std::vector<char> pending_;  // the block being written, then a free buffer
    std::size_t pendingSize_ = 0;
    std::uint64_t offset_ = 0;  // where the next block goes
    bool busy_ = false;
    bool stop_ = false;
    bool failed_ = false;
    bool tried_ = false;
    std::thread thread_;
};

// Hands the writers' bytes to the temporary file through a BackgroundWriter
// and remembers the first failure, wherever it shows: in a write, at the
// final flush or in the sync.
class TemporaryFileBuf : public std::streambuf {
  public:
    explicit TemporaryFileBuf(platform::TemporaryFile& file) : writer_(file), buffer_(kBufferSize) {
        setp(buffer_.data(), buffer_.data() + buffer_.size());
    }

    // Every byte handed over is written (or failed); call before the sync.
    bool Finish() {
        const bool handed = Drain();
        return writer_.Finish() && handed;
    }

  protected:
    int_type overflow(int_type c) override {
        if (!Drain()) return traits_type::eof();
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        *pptr() = traits_type::to_char_type(c);
        pbump(1);
        return c;
    }
    std::streamsize xsputn(const char* data, std::streamsize count) override {
        // Large pieces go through the buffers too, a buffer at a time.
        std::streamsize left = count;
        while (left > 0) {
            if (pptr() == epptr() && !Drain()) return count - left;
            const std::streamsize piece = std::min<std::streamsize>(left, epptr() - pptr());
            traits_type::copy(pptr(), data, static_cast<std::size_t>(piece));
            pbump(static_cast<int>(piece));
            data += piece;
            left -= piece;
        }
        return count;
    }
    int sync() override { return Drain() ? 0 : -1; }

    // A writer may go back over what it wrote, as the GLB writer does to fill
    // in its lengths, and on to the end again; never beyond the end.
    pos_type seekoff(off_type offset, std::ios_base::seekdir from,
                     std::ios_base::openmode which) override {
        const std::uint64_t here = start_ + static_cast<std::uint64_t>(pptr() - pbase());
        const std::uint64_t end = std::max(end_, here);
        const std::uint64_t base = from == std::ios_base::beg   ? 0
                                   : from == std::ios_base::cur ? here
                                                                : end;
        // Every target lies in [0, end], which bounds the arithmetic too
        // (the lowest offset has no positive counterpart: -(offset + 1) + 1).
        std::uint64_t to = base;
        if (offset < 0) {
            const std::uint64_t back = static_cast<std::uint64_t>(-(offset + 1)) + 1;
            if (back > base) return Refused();
            to = base - back;
        } else {
            const auto ahead = static_cast<std::uint64_t>(offset);
            if (ahead > end - base) return Refused();
            to = base + ahead;
        }
        return seekpos(pos_type(static_cast<off_type>(to)), which);
    }
    pos_type seekpos(pos_type position, std::ios_base::openmode which) override {
        const std::uint64_t here = start_ + static_cast<std::uint64_t>(pptr() - pbase());
        const auto to = static_cast<std::uint64_t>(static_cast<off_type>(position));
        if ((which & std::ios_base::out) == 0 || position < 0 || to > std::max(end_, here)) {
            return Refused();
        }
        if (to == here) return position;  // tellp, or no move
        if (!Drain() || !writer_.MoveTo(to)) {
            failed_ = true;
            return Refused();
        }
        start_ = to;
        return position;
    }

  private:
    static pos_type Refused() { return pos_type(off_type(-1)); }

    bool Drain() {
        const auto size = static_cast<std::size_t>(pptr() - pbase());
        if (!failed_ && size > 0 && !writer_.Submit(buffer_, size)) failed_ = true;
        start_ += size;
        end_ = std::max(end_, start_);
        setp(buffer_.data(), buffer_.data() + buffer_.size());
        return !failed_;
    }

    BackgroundWriter writer_;
    std::vector<char> buffer_;
    std::uint64_t start_ = 0;  // where the buffer's first byte goes in the file
    std::uint64_t end_ = 0;    // the file's length so far
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
        if (!buffer.Finish() || !out || !temporary.Sync()) return OutputResult::kWriteFailed;
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
