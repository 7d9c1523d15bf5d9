#include "io/platform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>
#endif

namespace kon::platform {

namespace {

// A name that is unlikely to exist already; creation is exclusive anyway, so a
// clash only costs another try.
std::string CandidateName(unsigned attempt) {
    const auto ticks = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    unsigned long long mixed = ticks * 6364136223846793005ull + attempt * 1442695040888963407ull;
    std::string name = ".konvert-";
    static constexpr char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    for (int i = 0; i < 10; ++i) {
        name += kDigits[mixed % 36];
        mixed /= 36;
    }
    return name + ".tmp";
}

constexpr unsigned kNameAttempts = 64;
// Copies go through the memory in pieces of this size.
constexpr std::size_t kCopyChunk = std::size_t{1} << 20;
// An output that other links share is written over in place, its old bytes
// kept in memory to put back if the copy fails; a larger one gets the new
// file under its name instead, and the other links keep what they hold.
constexpr std::uint64_t kMaxKeptContent = std::uint64_t{256} << 20;

}  // namespace

#ifndef _WIN32

namespace {

// The temporary names a signal handler may have to remove: one slot for each
// temporary file alive, as kon's workers hold several at once. A name is set
// before it exists. The slots live in static storage because a handler may
// touch nothing else, and a slot's state is a lock-free atomic, so a handler
// in any thread reads it safely; the base names are short and fixed in form,
// so a slot's buffer always holds one.
enum NameState : int { kSlotFree, kSlotClaimed, kSlotArmed };
struct NameSlot {
    std::atomic<int> state{kSlotFree};
    int folder = -1;
    char name[64] = {};
};
static_assert(std::atomic<int>::is_always_lock_free);
// Far more than the temporary files kon's most workers hold at once.
constexpr std::size_t kNameSlots = 128;
NameSlot gNameSlots[kNameSlots];

// SIGQUIT and SIGPIPE end a process as the others do; kon ignores SIGPIPE
// (IgnoreBrokenPipes), konvert ends by it only between two outputs.
constexpr int kCleanedSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE};

// The stretches that give a temporary file a name or move it run with the
// signals held, in whichever thread. A handler (in another thread) waits
// until none runs before it removes the armed names, so no name appears
// behind its back; a stretch that starts after that waits for the end.
// Workers leave the signals to the thread that started them
// (WorkersLeaveSignalsAlone), which only waits for them: the waiting handler
// then holds no lock that a stretch could need.
std::atomic<int> gNamingNow{0};
std::atomic<int> gEnding{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void RemoveTemporaryAndRaise(int signalNumber) {
    gEnding.store(1);
    while (gNamingNow.load() != 0) {
        const timespec pause{0, 100000};
        nanosleep(&pause, nullptr);
    }
    for (NameSlot& slot : gNameSlots) {
        if (slot.state.load() == kSlotArmed) unlinkat(slot.folder, slot.name, 0);
    }
    // The default action ends the process once the handler returns and the
    // signal, held while the handler runs, is let through.
    struct sigaction standard {};
    standard.sa_handler = SIG_DFL;
    sigemptyset(&standard.sa_mask);
    sigaction(signalNumber, &standard, nullptr);
    raise(signalNumber);
}

void InstallSignalHandlersOnce() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGXFSZ, &ignore, nullptr);
    for (const int signalNumber : kCleanedSignals) {
        struct sigaction previous {};
        sigaction(signalNumber, nullptr, &previous);
        // A signal the caller ignores (nohup) stays ignored.
        if (previous.sa_handler == SIG_IGN) continue;
        struct sigaction action {};
        action.sa_handler = RemoveTemporaryAndRaise;
        // A second signal waits while the handler waits for the stretches,
        // so it cannot end the process in the middle of one.
        sigemptyset(&action.sa_mask);
        for (const int held : kCleanedSignals) sigaddset(&action.sa_mask, held);
        sigaction(signalNumber, &action, nullptr);
    }
}

// Once per process: installed again after a handler ran, it would take the
// place of the default action that handler set.
void InstallSignalHandlers() {
    static const bool installed = (InstallSignalHandlersOnce(), true);
    static_cast<void>(installed);
}

// A free slot for a new temporary file, or -1 when all are taken.
int ClaimSlot() {
    for (std::size_t i = 0; i < kNameSlots; ++i) {
        int expected = kSlotFree;
        if (gNameSlots[i].state.compare_exchange_strong(expected, kSlotClaimed)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ArmName(int slot, int folder, const std::string& name) {
    NameSlot& armed = gNameSlots[slot];
    armed.state.store(kSlotClaimed);
    armed.folder = folder;
    const std::size_t length = std::min(name.size(), sizeof armed.name - 1);
    name.copy(armed.name, length);
    armed.name[length] = '\0';
    armed.state.store(kSlotArmed);
}

void DisarmName(int slot) {
    gNameSlots[slot].state.store(kSlotClaimed);
}

// Holds the cleaned signals back in this thread for its lifetime, and
// counts as a naming stretch (see gNamingNow); stretches may nest.
class SignalsHeld {
  public:
    SignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (const int signalNumber : kCleanedSignals) sigaddset(&held, signalNumber);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
        if (depth_++ != 0) return;
        gNamingNow.fetch_add(1);
        if (gEnding.load() != 0) {
            // A handler is removing names: this thread only waits for the end.
            gNamingNow.fetch_sub(1);
            for (;;) pause();
        }
    }
    SignalsHeld(const SignalsHeld&) = delete;
    SignalsHeld& operator=(const SignalsHeld&) = delete;
    ~SignalsHeld() {
        if (--depth_ == 0) gNamingNow.fetch_sub(1);
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }

  private:
    static thread_local int depth_;
    sigset_t previous_;
};
thread_local int SignalsHeld::depth_ = 0;

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

// The whole content of `from` (read from its start) into `to`.
bool CopyContent(int from, int to) {
    std::vector<char> chunk(kCopyChunk);
    off_t offset = 0;
    for (;;) {
        const ssize_t got = pread(from, chunk.data(), chunk.size(), offset);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) return false;
        if (got == 0) return true;
        if (!WriteAll(to, chunk.data(), static_cast<std::size_t>(got))) return false;
        offset += got;
    }
}

// The whole content of `fd`, read from its start; false where it cannot be
// read or is larger than kMaxKeptContent.
bool KeepContent(int fd, std::vector<char>& bytes) {
    struct stat info {};
    if (fstat(fd, &info) != 0 || static_cast<std::uint64_t>(info.st_size) > kMaxKeptContent) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(info.st_size));
    for (std::size_t done = 0; done < bytes.size();) {
        const ssize_t got =
            pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(done));
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        done += static_cast<std::size_t>(got);
    }
    return true;
}

// Reserves the blocks the content of `from` needs in `to` without changing
// a byte of it, so a full disk or quota shows before `to` is cut, not in the
// middle of the copy. Where the file system cannot reserve, the copy is
// tried as it is.
bool RoomFor(int from, int to) {
#ifdef __linux__
    struct stat info {};
    if (fstat(from, &info) != 0) return false;
    if (info.st_size == 0) return true;
    if (fallocate(to, FALLOC_FL_KEEP_SIZE, 0, info.st_size) == 0) return true;
    const int error = errno;
    // A failed reservation may keep the blocks it got past the end: they go
    // (cutting at the size the file has changes no byte).
    struct stat old {};
    if (fstat(to, &old) == 0) static_cast<void>(ftruncate(to, old.st_size));
    return error == EOPNOTSUPP || error == ENOSYS;
#else
    static_cast<void>(from);
    static_cast<void>(to);
    return true;
#endif
}

// Moves `name` in `folder` onto `target` only if no such name exists, in
// one step. Where the file system cannot rename that way, a hard link is
// made instead (it fails on an existing name too) and the old name removed.
bool MoveOntoNewName(int folder, const std::filesystem::path& name,
                     const std::filesystem::path& target) {
#ifdef RENAME_NOREPLACE
    if (renameat2(folder, name.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0) {
        return true;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
#endif
    if (linkat(folder, name.c_str(), AT_FDCWD, target.c_str(), 0) == 0) {
        unlinkat(folder, name.c_str(), 0);
        return true;
    }
    if (errno != EPERM && errno != ENOSYS && errno != EOPNOTSUPP) return false;
    // Neither way exists here: the name is looked at once more, then taken
    // as any rename takes it.
    struct stat existing {};
    if (fstatat(AT_FDCWD, target.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0) return false;
    return renameat(folder, name.c_str(), AT_FDCWD, target.c_str()) == 0;
}

// A new file under a fresh name in `folder`, armed for the signal handler;
// its descriptor, or -1.
int CreateNamed(int slot, int folder, std::string& name) {
    const SignalsHeld held;
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::string candidate = CandidateName(attempt);
        ArmName(slot, folder, candidate);
        const int fd =
            openat(folder, candidate.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC, 0600);
        if (fd >= 0) {
            name = candidate;
            return fd;
        }
        DisarmName(slot);
        if (errno != EEXIST) return -1;
    }
    return -1;
}

int Fd(std::intptr_t handle) {
    return static_cast<int>(handle);
}

}  // namespace

bool GuardStandardStreams() {
    bool outputClosed = false;
    // Checked in order, so the null device lands on the lowest closed one.
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        outputClosed = outputClosed || fd == 1;
        const int opened = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened >= 0 && opened != fd) {
            dup2(opened, fd);
            close(opened);
        }
    }
    return outputClosed;
}

bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

void IgnoreBrokenPipes() {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, nullptr);
}

struct WorkersLeaveSignalsAlone::Saved {
    sigset_t mask;
};

WorkersLeaveSignalsAlone::WorkersLeaveSignalsAlone() : previous_(std::make_unique<Saved>()) {
    // The cleanup handler must be in place before any worker can name a file.
    InstallSignalHandlers();
    sigset_t held;
    sigemptyset(&held);
    for (const int signalNumber : kCleanedSignals) sigaddset(&held, signalNumber);
    pthread_sigmask(SIG_BLOCK, &held, &previous_->mask);
}

WorkersLeaveSignalsAlone::~WorkersLeaveSignalsAlone() {
    pthread_sigmask(SIG_SETMASK, &previous_->mask, nullptr);
}

std::filesystem::path ProgramFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : self.parent_path();
}

LoadedModule LoadModule(const std::filesystem::path& file) {
    LoadedModule loaded;
    // Every symbol is bound now: a module that does not fit this program
    // fails here, with the missing name, instead of at its first call.
    loaded.handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (loaded.handle == nullptr) {
        const char* why = dlerror();
        loaded.error = why != nullptr ? why : file.string() + ": cannot be loaded";
    }
    return loaded;
}

void* ModuleFunction(void* handle, const char* name) {
    return dlsym(handle, name);
}

bool MayWrite(const std::filesystem::path& file) {
    return access(file.c_str(), W_OK) == 0;
}

std::filesystem::perms NewFilePermissions() {
    // umask can only be read by setting it, so it is read once: two of kon's
    // workers reading it at the same moment would each see the other's 0, and
    // one would put 0 back for good.
    static const mode_t mask = [] {
        const mode_t current = umask(0);
        umask(current);
        return current;
    }();
    return static_cast<std::filesystem::perms>(0666 & ~mask);
}

std::string FileIdentity(const std::filesystem::path& name) {
    struct stat info {};
    if (stat(name.c_str(), &info) != 0) return {};
    return std::to_string(info.st_dev) + ':' + std::to_string(info.st_ino);
}

OpenedFile OpenRegularFile(const std::filesystem::path& name, bool noFollow) {
    OpenedFile opened;
    const int fd =
        open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (noFollow ? O_NOFOLLOW : 0));
    if (fd < 0) return opened;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        opened.irregular = true;
    } else {
        opened.file = fdopen(fd, "rb");
        opened.size = static_cast<std::uint64_t>(info.st_size);
    }
    if (opened.file == nullptr) close(fd);
    return opened;
}

bool IsUnresolvableLink(const std::filesystem::path& name) {
    // The name itself is the link: a loop in a folder on its way makes the
    // name uncreatable, not taken.
    struct stat info {};
    if (stat(name.c_str(), &info) == 0 || errno != ELOOP) return false;
    return lstat(name.c_str(), &info) == 0 && S_ISLNK(info.st_mode);
}

TemporaryFile::~TemporaryFile() {
    Remove();
    if (folderHandle_ >= 0) close(Fd(folderHandle_));
    if (slot_ >= 0) gNameSlots[slot_].state.store(kSlotFree);
}

void TemporaryFile::Remove() {
    if (!name_.empty()) {
        unlinkat(Fd(folderHandle_), name_.c_str(), 0);
        DisarmName(slot_);
        name_.clear();
    }
    if (file_ >= 0) close(Fd(file_));
    file_ = -1;
}

bool TemporaryFile::Create(const std::filesystem::path& folder) {
    InstallSignalHandlers();
    slot_ = ClaimSlot();
    if (slot_ < 0) return false;
    folder_ = folder;
    folderHandle_ = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderHandle_ < 0) return false;
#ifdef O_TMPFILE
    file_ = openat(Fd(folderHandle_), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (file_ >= 0) return true;
#endif
    std::string candidate;
    file_ = CreateNamed(slot_, Fd(folderHandle_), candidate);
    name_ = candidate;
    return file_ >= 0;
}

bool TemporaryFile::Write(const char* data, std::size_t size) {
    return WriteAll(Fd(file_), data, size);
}

bool TemporaryFile::Seek(std::uint64_t offset) {
    // Where off_t is narrower than the offset, a position beyond it is refused.
    if (offset > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) return false;
    return lseek(Fd(file_), static_cast<off_t>(offset), SEEK_SET) != -1;
}

void TemporaryFile::StartWriteback([[maybe_unused]] std::uint64_t offset,
                                   [[maybe_unused]] std::size_t size) {
#if defined(SYNC_FILE_RANGE_WRITE)
    sync_file_range(Fd(file_), static_cast<off_t>(offset), static_cast<off_t>(size),
                    SYNC_FILE_RANGE_WRITE);
#endif
}

bool TemporaryFile::Sync() {
    return fsync(Fd(file_)) == 0;
}

bool TemporaryFile::TakeIdentityOf(const std::filesystem::path& target) {
    struct stat old {};
    if (stat(target.c_str(), &old) != 0) {
        return fchmod(Fd(file_), static_cast<mode_t>(NewFilePermissions())) == 0;
    }
    struct stat own {};
    bool kept = fstat(Fd(file_), &own) == 0;
    // Owner before mode: a change of owner may clear the set-id bits.
    if (kept && (own.st_uid != old.st_uid || own.st_gid != old.st_gid)) {
        kept = fchown(Fd(file_), old.st_uid, old.st_gid) == 0;
    }
    fchmod(Fd(file_), old.st_mode & 07777);
    return kept && old.st_nlink == 1;
}

bool TemporaryFile::MoveOnto(const std::filesystem::path& target, bool replace) {
    // Naming and renaming is one stretch; the folder's sync comes after it.
    const bool moved = [&] {
        const SignalsHeld held;
        if (name_.empty()) {
            // Named only now that the content is complete: the one instant in
            // which a SIGKILL can leave it behind lasts until the rename below.
            const std::string link = "/proc/self/fd/" + std::to_string(file_);
            for (unsigned attempt = 0; attempt < kNameAttempts && name_.empty(); ++attempt) {
                const std::string candidate = CandidateName(attempt);
                ArmName(slot_, Fd(folderHandle_), candidate);
                if (linkat(AT_FDCWD, link.c_str(), Fd(folderHandle_), candidate.c_str(),
                           AT_SYMLINK_FOLLOW) == 0 ||
                    linkat(Fd(file_), "", Fd(folderHandle_), candidate.c_str(), AT_EMPTY_PATH) ==
                        0) {
                    name_ = candidate;
                } else {
                    DisarmName(slot_);
                    if (errno != EEXIST) break;
                }
            }
            if (name_.empty()) {
                // Neither /proc nor the right to link by descriptor: a named copy.
                std::string candidate;
                const int named = CreateNamed(slot_, Fd(folderHandle_), candidate);
                if (named < 0) return false;
                struct stat own {};
                const bool copied = CopyContent(Fd(file_), named) && fsync(named) == 0 &&
                                    fstat(Fd(file_), &own) == 0 &&
                                    fchown(named, own.st_uid, own.st_gid) == 0 &&
                                    fchmod(named, own.st_mode & 07777) == 0;
                close(Fd(file_));
                file_ = named;
                name_ = candidate;
                if (!copied) return false;
            }
        }
        if (replace ? renameat(Fd(folderHandle_), name_.c_str(), AT_FDCWD, target.c_str()) != 0
                    : !MoveOntoNewName(Fd(folderHandle_), name_, target)) {
            return false;
        }
        DisarmName(slot_);
        name_.clear();
        return true;
    }();
    if (!moved) return false;
    // The new folder entry reaches the device too. Some file systems cannot
    // sync a folder; the rename has happened either way.
    fsync(Fd(folderHandle_));
    return true;
}

bool TemporaryFile::CopyOnto(const std::filesystem::path& target) {
    // A signal now would leave the target half copied: it waits until the
    // target is whole again, and then finds nothing left to remove.
    const SignalsHeld held;
    const int out = open(target.c_str(), O_RDWR | O_CLOEXEC);
    std::vector<char> old;
    bool copied = out >= 0 && KeepContent(out, old) && RoomFor(Fd(file_), out);
    bool restored = true;
    if (copied) {
        // Cut (or grown) to the new size, then written over: cutting to 0
        // would give the reserved room back.
        struct stat own {};
        const bool cut = fstat(Fd(file_), &own) == 0 && ftruncate(out, own.st_size) == 0;
        copied = cut && CopyContent(Fd(file_), out) && fsync(out) == 0;
        // Half copied, the other links hold neither the old bytes nor the
        // new: they get the old ones back.
        restored =
            copied || !cut ||
            (ftruncate(out, static_cast<off_t>(old.size())) == 0 && lseek(out, 0, SEEK_SET) == 0 &&
             WriteAll(out, old.data(), old.size()) && fsync(out) == 0);
    }
    if (out >= 0) copied = close(out) == 0 && copied;
    if (!copied && !MoveOnto(target)) return false;
    Remove();
    // The output is whole; another link of it could not be put back.
    return restored;
}

#endif  // !_WIN32

#ifdef _WIN32

namespace {

HANDLE Handle(std::intptr_t handle) {
    return reinterpret_cast<HANDLE>(handle);
}

// Marks the open file to vanish when its last handle closes, so not even a
// killed process leaves it behind; cleared again right before the move.
void SetDeleteOnClose(std::intptr_t file, bool remove) {
    FILE_DISPOSITION_INFO disposition{};
    disposition.DeleteFile = remove ? TRUE : FALSE;
    SetFileInformationByHandle(Handle(file), FileDispositionInfo, &disposition, sizeof disposition);
}

bool WriteAll(HANDLE file, const char* data, std::size_t size) {
    while (size > 0) {
        const auto piece = static_cast<DWORD>(std::min<std::size_t>(size, kCopyChunk));
        DWORD written = 0;
        if (!WriteFile(file, data, piece, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

}  // namespace

bool GuardStandardStreams() {
    bool outputClosed = false;
    const DWORD standardHandles[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    for (int fd = 0; fd <= 2; ++fd) {
        const HANDLE handle = GetStdHandle(standardHandles[fd]);
        const bool missing = handle == nullptr || handle == INVALID_HANDLE_VALUE;
        // -1 and -2: the C runtime has no stream there either.
        if (!missing && _get_osfhandle(fd) >= 0) continue;
        outputClosed = outputClosed || fd == 1;
        const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (opened >= 0 && opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
        SetStdHandle(standardHandles[fd], reinterpret_cast<HANDLE>(_get_osfhandle(fd)));
    }
    return outputClosed;
}

bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

void IgnoreBrokenPipes() {}  // a write to a closed pipe fails there anyway

// Console control events reach no handler that removes names here.
struct WorkersLeaveSignalsAlone::Saved {};
WorkersLeaveSignalsAlone::WorkersLeaveSignalsAlone() = default;
WorkersLeaveSignalsAlone::~WorkersLeaveSignalsAlone() = default;

std::filesystem::path ProgramFolder() {
    // The path may be longer than MAX_PATH; the buffer grows until it fits.
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0) return {};
        if (length < name.size()) {
            name.resize(length);
            return std::filesystem::path(name).parent_path();
        }
        if (name.size() >= 32768) return {};  // longer than any Windows path
        name.resize(name.size() * 2);
    }
}

LoadedModule LoadModule(const std::filesystem::path& file) {
    LoadedModule loaded;
    // The module's own libraries are looked for next to it and in the
    // system's folders, never in the current one.
    const HMODULE module = LoadLibraryExW(
        file.c_str(), nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_DEFAULT_DIRS);
    if (module == nullptr) {
        const std::u8string name = file.u8string();  // any name, whatever the code page
        loaded.error = std::string(name.begin(), name.end()) + ": cannot be loaded (error " +
                       std::to_string(GetLastError()) + ")";
        return loaded;
    }
    loaded.handle = static_cast<void*>(module);
    return loaded;
}

void* ModuleFunction(void* handle, const char* name) {
    const FARPROC function = GetProcAddress(static_cast<HMODULE>(handle), name);
    // A function's address as the object pointer dlsym gives on POSIX.
    void* address = nullptr;
    static_assert(sizeof address == sizeof function);
    std::memcpy(&address, &function, sizeof address);
    return address;
}

bool MayWrite(const std::filesystem::path& file) {
    return _waccess(file.c_str(), 2) == 0;
}

std::filesystem::perms NewFilePermissions() {
    return std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
           std::filesystem::perms::group_read | std::filesystem::perms::group_write |
           std::filesystem::perms::others_read | std::filesystem::perms::others_write;
}

std::string FileIdentity(const std::filesystem::path& name) {
    const HANDLE file =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return {};
    // The 128-bit id: the 64-bit file index is not unique on ReFS. An id of
    // 0 (some network shares) tells nothing; the caller then goes by name.
    FILE_ID_INFO info{};
    const bool found = GetFileInformationByHandleEx(file, FileIdInfo, &info, sizeof info) != 0;
    CloseHandle(file);
    std::string identity;
    bool known = false;
    for (const BYTE b : info.FileId.Identifier) {
        identity += "0123456789abcdef"[b >> 4];
        identity += "0123456789abcdef"[b & 15];
        known = known || b != 0;
    }
    if (!found || !known) return {};
    return std::to_string(info.VolumeSerialNumber) + ':' + identity;
}

OpenedFile OpenRegularFile(const std::filesystem::path& name, bool noFollow) {
    OpenedFile opened;
    const DWORD flags = FILE_ATTRIBUTE_NORMAL | (noFollow ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    const HANDLE file = CreateFileW(name.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, flags, nullptr);
    if (file == INVALID_HANDLE_VALUE) return opened;
    BY_HANDLE_FILE_INFORMATION info{};
    if (GetFileType(file) != FILE_TYPE_DISK || GetFileInformationByHandle(file, &info) == 0 ||
        (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        opened.irregular = true;
        CloseHandle(file);
        return opened;
    }
    const int fd = _open_osfhandle(reinterpret_cast<std::intptr_t>(file), _O_RDONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(file);
        return opened;
    }
    opened.file = _fdopen(fd, "rb");
    if (opened.file == nullptr) {
        _close(fd);  // closes the handle too
        return opened;
    }
    opened.size = (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow;
    return opened;
}

bool IsUnresolvableLink(const std::filesystem::path& name) {
    std::error_code ec;
    const std::filesystem::file_status status = std::filesystem::status(name, ec);
    return status.type() == std::filesystem::file_type::none &&
           ec == std::errc::too_many_symbolic_link_levels;
}

TemporaryFile::~TemporaryFile() {
    Remove();
}

void TemporaryFile::Remove() {
    if (file_ != -1) CloseHandle(Handle(file_));
    file_ = -1;
    if (!name_.empty()) DeleteFileW(name_.c_str());
    name_.clear();
}

bool TemporaryFile::Create(const std::filesystem::path& folder) {
    folder_ = folder;
    for (unsigned attempt = 0; attempt < kNameAttempts; ++attempt) {
        const std::filesystem::path candidate = folder / CandidateName(attempt);
        const HANDLE file = CreateFileW(candidate.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0,
                                        nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file != INVALID_HANDLE_VALUE) {
            file_ = reinterpret_cast<std::intptr_t>(file);
            name_ = candidate;
            SetDeleteOnClose(file_, true);
            return true;
        }
        if (GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

bool TemporaryFile::Write(const char* data, std::size_t size) {
    return WriteAll(Handle(file_), data, size);
}

bool TemporaryFile::Seek(std::uint64_t offset) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(offset);
    return SetFilePointerEx(Handle(file_), to, nullptr, FILE_BEGIN) != 0;
}

void TemporaryFile::StartWriteback(std::uint64_t, std::size_t) {}

bool TemporaryFile::Sync() {
    return FlushFileBuffers(Handle(file_)) != 0;
}

bool TemporaryFile::TakeIdentityOf(const std::filesystem::path& target) {
    // ReplaceFileW carries attributes and ACLs over; only other hard links
    // would be split off.
    const HANDLE old =
        CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (old == INVALID_HANDLE_VALUE) return true;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool single = GetFileInformationByHandle(old, &info) == 0 || info.nNumberOfLinks <= 1;
    CloseHandle(old);
    return single;
}

bool TemporaryFile::MoveOnto(const std::filesystem::path& target, bool replace) {
    SetDeleteOnClose(file_, false);
    CloseHandle(Handle(file_));
    file_ = -1;
    std::error_code ec;
    const bool replaced = replace && std::filesystem::exists(target, ec) &&
                          ReplaceFileW(target.c_str(), name_.c_str(), nullptr,
                                       REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr) != 0;
    // Without MOVEFILE_REPLACE_EXISTING the move fails on an existing name.
    const DWORD how = MOVEFILE_WRITE_THROUGH | (replace ? MOVEFILE_REPLACE_EXISTING : 0);
    if (!replaced && MoveFileExW(name_.c_str(), target.c_str(), how) == 0) {
        return false;
    }
    name_.clear();
    return true;
}

// The whole content of `file`, read from its start; false where it cannot be
// read or is larger than kMaxKeptContent.
bool KeepContent(HANDLE file, std::vector<char>& bytes) {
    LARGE_INTEGER size{};
    LARGE_INTEGER start{};
    if (GetFileSizeEx(file, &size) == 0 ||
        static_cast<std::uint64_t>(size.QuadPart) > kMaxKeptContent ||
        SetFilePointerEx(file, start, nullptr, FILE_BEGIN) == 0) {
        return false;
    }
    bytes.resize(static_cast<std::size_t>(size.QuadPart));
    for (std::size_t done = 0; done < bytes.size();) {
        DWORD got = 0;
        const auto piece =
            static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, kCopyChunk));
        if (ReadFile(file, bytes.data() + done, piece, &got, nullptr) == 0 || got == 0)
            return false;
        done += got;
    }
    return true;
}

bool TemporaryFile::CopyOnto(const std::filesystem::path& target) {
    const HANDLE out = CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    std::vector<char> old;
    bool copied = out != INVALID_HANDLE_VALUE && KeepContent(out, old);
    bool restored = true;
    // The room the new content needs is reserved before the target is cut,
    // so a full disk or quota leaves it whole (a smaller allocation than the
    // file's size would cut it, so only growth is asked for).
    LARGE_INTEGER newSize{};
    LARGE_INTEGER oldSize{};
    copied = copied && GetFileSizeEx(Handle(file_), &newSize) != 0;
    if (copied && GetFileSizeEx(out, &oldSize) != 0 && newSize.QuadPart > oldSize.QuadPart) {
        FILE_ALLOCATION_INFO allocation{};
        allocation.AllocationSize = newSize;
        copied = SetFileInformationByHandle(out, FileAllocationInfo, &allocation,
                                            sizeof allocation) != 0;
    }
    if (copied) {
        // Cut (or grown) to the new size, then written over: cutting to 0
        // would give the reserved room back.
        LARGE_INTEGER start{};
        const bool cut =
            SetFilePointerEx(out, newSize, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(out) != 0;
        copied = cut && SetFilePointerEx(out, start, nullptr, FILE_BEGIN) != 0 &&
                 SetFilePointerEx(Handle(file_), start, nullptr, FILE_BEGIN) != 0;
        std::vector<char> chunk(kCopyChunk);
        for (DWORD got = 1; copied && got > 0;) {
            copied = ReadFile(Handle(file_), chunk.data(), static_cast<DWORD>(chunk.size()), &got,
                              nullptr) != 0 &&
                     WriteAll(out, chunk.data(), got);
        }
        copied = FlushFileBuffers(out) != 0 && copied;
        // Half copied, the other links hold neither the old bytes nor the
        // new: they get the old ones back.
        LARGE_INTEGER keptSize{};
        keptSize.QuadPart = static_cast<LONGLONG>(old.size());
        restored =
            copied || !cut ||
            (SetFilePointerEx(out, keptSize, nullptr, FILE_BEGIN) != 0 && SetEndOfFile(out) != 0 &&
             SetFilePointerEx(out, start, nullptr, FILE_BEGIN) != 0 &&
             WriteAll(out, old.data(), old.size()) && FlushFileBuffers(out) != 0);
    }
    if (out != INVALID_HANDLE_VALUE) copied = CloseHandle(out) != 0 && copied;
    if (!copied && !MoveOnto(target)) return false;
    Remove();
    // The output is whole; another link of it could not be put back.
    return restored;
}

#endif  // _WIN32

}  // namespace kon::platform
