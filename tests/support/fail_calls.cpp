// Preloaded into a program (LD_PRELOAD) to make one system call fail, so the
// end-to-end rows can show what a failing device or file system leaves
// behind. KONVERT_FAIL=call[:n][=ERRNO][,...] fails the n-th call of each
// (from 1; every call without n) with that error (EIO, ENOSPC, EEXIST, EXDEV,
// EPERM, EINTR, EACCES, EOPNOTSUPP; without it, the call's own below). The calls: fsync,
// renameat, renameat2, linkat, fallocate, ftruncate, fchown, lseek, read (EIO), open
// (an open of an existing file: EACCES, as without the right to read it),
// tmpfile (an open with O_TMPFILE), and isatty (answers yes for standard
// error, for the progress display). Not failures of the device but of timing:
// write and pread are interrupted by a signal (EINTR), create (an open with
// O_CREAT | O_EXCL) finds the name taken, and taken creates renameat2's target
// just before it; thread refuses to start a thread (EAGAIN, as at a process
// limit). read, write and pread fail only past the standard streams.

#include <dlfcn.h>
#include <fcntl.h>
#include <pthread.h>
#include <sys/types.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <string>
#include <string_view>

namespace {

struct Wanted {
    std::string call;
    int nth = 0;    // 0: every call
    int error = 0;  // 0: the call's own
    std::atomic<int> calls = 0;
};

int ErrorNamed(std::string_view name) {
    const std::pair<std::string_view, int> known[] = {
        {"EIO", EIO},     {"ENOSPC", ENOSPC}, {"EEXIST", EEXIST}, {"EXDEV", EXDEV},
        {"EPERM", EPERM}, {"EINTR", EINTR},   {"EACCES", EACCES}, {"EOPNOTSUPP", EOPNOTSUPP}};
    for (const auto& [text, value] : known) {
        if (text == name) return value;
    }
    std::abort();  // a row names an error this list lacks
}

// KONVERT_FAIL as a list, read once.
std::deque<Wanted>& List() {
    static std::deque<Wanted> list = [] {
        std::deque<Wanted> parsed;
        const char* env = std::getenv("KONVERT_FAIL");
        std::string_view rest = env == nullptr ? "" : env;
        while (!rest.empty()) {
            const std::string_view item = rest.substr(0, rest.find(','));
            rest.remove_prefix(std::min(rest.size(), item.size() + 1));
            Wanted& w = parsed.emplace_back();
            const std::size_t equals = std::min(item.find('='), item.size());
            w.call = item.substr(0, std::min(item.find(':'), equals));
            if (w.call.size() < equals) w.nth = std::atoi(item.data() + w.call.size() + 1);
            if (equals < item.size()) w.error = ErrorNamed(item.substr(equals + 1));
        }
        return parsed;
    }();
    return list;
}

// The error this call of `name` is to fail with (`own` unless the entry names
// one), or 0; counts the calls of that name.
int Fails(std::string_view name, int own = -1) {
    int error = 0;
    for (Wanted& w : List()) {
        if (w.call == name && (w.nth == 0 || ++w.calls == w.nth)) error = w.error ? w.error : own;
    }
    return error;
}

template <typename F>
F Next(const char* name) {
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
}

// The mode an open passes only when it may create a file.
mode_t ModeArgument(int flags, va_list args) {
    const bool creates = (flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE;
    return creates ? static_cast<mode_t>(va_arg(args, int)) : 0;
}

int OpenOfExistingFails(int flags) {
    if ((flags & O_CREAT) != 0 || (flags & O_TMPFILE) == O_TMPFILE) return 0;
    return Fails("open", EACCES);
}

int Refuse(int error) {
    errno = error;
    return -1;
}

}  // namespace

extern "C" {

int fsync(int fd) {
    if (const int error = Fails("fsync", EIO)) return Refuse(error);
    return Next<int (*)(int)>("fsync")(fd);
}

off_t lseek(int fd, off_t offset, int whence) {
    if (const int error = Fails("lseek", EIO)) return Refuse(error);
    return Next<off_t (*)(int, off_t, int)>("lseek")(fd, offset, whence);
}

int renameat(int from, const char* a, int to, const char* b) {
    if (const int error = Fails("renameat", EIO)) return Refuse(error);
    return Next<int (*)(int, const char*, int, const char*)>("renameat")(from, a, to, b);
}

int renameat2(int from, const char* a, int to, const char* b, unsigned flags) {
    // EINVAL: as a file system without the flag
    if (const int error = Fails("renameat2", EINVAL)) return Refuse(error);
    if (Fails("taken")) {
        // Another program creates the target first.
        const int fd = Next<int (*)(int, const char*, int, ...)>("openat")(
            to, b, O_CREAT | O_EXCL | O_WRONLY, 0644);
        if (fd >= 0) {
            Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, "meanwhile\n", 10);
            close(fd);
        }
    }
    return Next<int (*)(int, const char*, int, const char*, unsigned)>("renameat2")(from, a, to, b,
                                                                                    flags);
}

int linkat(int from, const char* a, int to, const char* b, int flags) {
    if (const int error = Fails("linkat", EPERM)) return Refuse(error);
    return Next<int (*)(int, const char*, int, const char*, int)>("linkat")(from, a, to, b, flags);
}

int fallocate(int fd, int mode, off_t at, off_t size) {
    if (const int error = Fails("fallocate", ENOSPC)) return Refuse(error);
    return Next<int (*)(int, int, off_t, off_t)>("fallocate")(fd, mode, at, size);
}

int ftruncate(int fd, off_t size) {
    if (const int error = Fails("ftruncate", EIO)) return Refuse(error);
    return Next<int (*)(int, off_t)>("ftruncate")(fd, size);
}

int fchown(int fd, uid_t owner, gid_t group) {
    if (const int error = Fails("fchown", EPERM)) return Refuse(error);
    return Next<int (*)(int, uid_t, gid_t)>("fchown")(fd, owner, group);
}

ssize_t write(int fd, const void* data, size_t size) {
    if (fd > 2) {
        if (const int error = Fails("write", EINTR)) return Refuse(error);
    }
    return Next<ssize_t (*)(int, const void*, size_t)>("write")(fd, data, size);
}

ssize_t read(int fd, void* data, size_t size) {
    if (fd > 2) {
        if (const int error = Fails("read", EIO)) return Refuse(error);
    }
    return Next<ssize_t (*)(int, void*, size_t)>("read")(fd, data, size);
}

ssize_t pread(int fd, void* data, size_t size, off_t at) {
    if (fd > 2) {
        if (const int error = Fails("pread", EINTR)) return Refuse(error);
    }
    return Next<ssize_t (*)(int, void*, size_t, off_t)>("pread")(fd, data, size, at);
}

ssize_t pread64(int fd, void* data, size_t size, off64_t at) {
    if (fd > 2) {
        if (const int error = Fails("pread", EINTR)) return Refuse(error);
    }
    return Next<ssize_t (*)(int, void*, size_t, off64_t)>("pread64")(fd, data, size, at);
}

int pthread_create(pthread_t* thread, const pthread_attr_t* attributes, void* (*start)(void*),
                   void* argument) {
    if (const int error = Fails("thread", EAGAIN)) return error;
    using Create = int (*)(pthread_t*, const pthread_attr_t*, void* (*)(void*), void*);
    return Next<Create>("pthread_create")(thread, attributes, start, argument);
}

int isatty(int fd) {
    if (fd == 2 && Fails("isatty")) return 1;
    return Next<int (*)(int)>("isatty")(fd);
}

int openat(int folder, const char* name, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    if ((flags & O_TMPFILE) == O_TMPFILE) {
        if (const int error = Fails("tmpfile", EOPNOTSUPP)) return Refuse(error);
    }
    if ((flags & (O_CREAT | O_EXCL)) == (O_CREAT | O_EXCL)) {
        if (const int error = Fails("create", EEXIST)) return Refuse(error);
    }
    if (const int error = OpenOfExistingFails(flags)) return Refuse(error);
    return Next<int (*)(int, const char*, int, ...)>("openat")(folder, name, flags, mode);
}

// The file streams of the standard library open with these.
FILE* fopen64(const char* name, const char* mode) {
    if (mode[0] == 'r') {
        if (const int error = Fails("open", EACCES)) return Refuse(error), nullptr;
    }
    return Next<FILE* (*)(const char*, const char*)>("fopen64")(name, mode);
}

int open(const char* name, int flags, ...) {
    va_list args;
    va_start(args, flags);
    const mode_t mode = ModeArgument(flags, args);
    va_end(args);
    if (const int error = OpenOfExistingFails(flags)) return Refuse(error);
    return Next<int (*)(const char*, int, ...)>("open")(name, flags, mode);
}
}
