#include "driver/platform.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#if defined(__GLIBC__)
#include <malloc.h>

#include <cstdint>
#include <cstdlib>
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

#ifdef _WIN32
int OpenExclusive(const std::filesystem::path& file) {
    return _wopen(file.c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
}
void CloseFile(int fd) {
    _close(fd);
}
#else
int OpenExclusive(const std::filesystem::path& file) {
    return open(file.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, 0600);
}
void CloseFile(int fd) {
    close(fd);
}
#endif

}  // namespace

bool CreateExclusiveFile(const std::filesystem::path& directory, std::filesystem::path& created) {
    constexpr unsigned kAttempts = 64;
    for (unsigned attempt = 0; attempt < kAttempts; ++attempt) {
        const auto candidate = directory / CandidateName(attempt);
        const int fd = OpenExclusive(candidate);
        if (fd >= 0) {
            CloseFile(fd);
            created = candidate;
            return true;
        }
        if (errno != EEXIST) return false;
    }
    return false;
}

#ifdef _WIN32
bool StandardErrorIsTerminal() {
    return _isatty(_fileno(stderr)) != 0;
}

bool MayWrite(const std::filesystem::path& file) {
    return _waccess(file.c_str(), 2) == 0;
}

std::filesystem::perms NewFilePermissions() {
    return std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
           std::filesystem::perms::group_read | std::filesystem::perms::group_write |
           std::filesystem::perms::others_read | std::filesystem::perms::others_write;
}
#else
bool StandardErrorIsTerminal() {
    return isatty(STDERR_FILENO) != 0;
}

bool MayWrite(const std::filesystem::path& file) {
    return access(file.c_str(), W_OK) == 0;
}

std::filesystem::perms NewFilePermissions() {
    // umask can only be read by setting it; put the old value straight back.
    const mode_t mask = umask(0);
    umask(mask);
    return static_cast<std::filesystem::perms>(0666 & ~mask);
}
#endif

#if defined(__GLIBC__) && defined(MADV_HUGEPAGE)
void PrepareModelHeap() {
    // The largest legal model with its buffers needs well below this; more
    // simply comes from ordinary pages.
    constexpr std::size_t kHeapReserve = std::size_t{24} << 20;
    // Above the largest array of a legal model (32770 points of 80 bytes);
    // larger blocks keep their own mappings, which go back to the system as
    // soon as they are freed.
    constexpr std::size_t kLargestHeapBlock = std::size_t{4} << 20;
    constexpr std::uintptr_t kHugePage = std::uintptr_t{2} << 20;
    // The heap is kept at its size once grown. Growing it once by the reserve
    // (from the heap, not a mapping of its own) and giving that back to the
    // allocator leaves one region of address space, still untouched.
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(2 * kHeapReserve));
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(2 * kHeapReserve));
    void* reserve = std::malloc(kHeapReserve);
    // From now on only blocks of model size come from the heap.
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kLargestHeapBlock));
    if (reserve == nullptr) return;
    const auto begin = reinterpret_cast<std::uintptr_t>(reserve);
    std::free(reserve);
    const auto top = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const std::uintptr_t alignedBegin = (begin + kHugePage - 1) & ~(kHugePage - 1);
    // Only a hint: where the kernel declines, the pages stay small.
    if (top > alignedBegin) {
        madvise(reinterpret_cast<void*>(alignedBegin), top - alignedBegin, MADV_HUGEPAGE);
    }
}
#else
void PrepareModelHeap() {}
#endif

}  // namespace kon::platform
