#pragma once
// The few file, process and memory operations the standard library lacks,
// with a POSIX and a Windows side in platform.cpp.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

namespace kon::platform {

// Once at program start, before anything is opened: a closed standard
// stream (descriptor 0, 1 or 2; the standard handles on Windows) is opened
// on the null device, so no file the program opens can take its place.
// True when standard output was closed: a program whose results were due
// there can say they were lost.
bool GuardStandardStreams();

// The folder that holds the running program's own file; empty when the
// system does not say.
std::filesystem::path ProgramFolder();

// A library loaded for the rest of the process: what it hands out (functions,
// objects made by its code) stays in use until the end, so it is never
// unloaded. `handle` is null and `error` says why when it cannot be loaded.
struct LoadedModule {
    void* handle = nullptr;
    std::string error;
};
LoadedModule LoadModule(const std::filesystem::path& file);
// The address of a function the module exports by that (unmangled) name;
// null when it has none.
void* ModuleFunction(void* handle, const char* name);

// Whether the current user may write to the existing file.
bool MayWrite(const std::filesystem::path& file);

// Whether standard error is a terminal (a person watching), so a progress
// display may be drawn there.
bool StandardErrorIsTerminal();

// A write to a closed pipe fails instead of ending the process: kon's
// messages are not worth a conversion cut short.
void IgnoreBrokenPipes();

// The permissions a file created in place would get: 0666 less the umask
// (read at the first call; nothing here changes it).
std::filesystem::perms NewFilePermissions();

// What makes an existing file one file whatever its names (hard links,
// symbolic links, spellings): device and file number; empty when it cannot
// be found.
std::string FileIdentity(const std::filesystem::path& name);

// An existing regular file opened for reading, opened without waiting (a
// FIFO or a device is refused, never waited on or read without end).
struct OpenedFile {
    std::FILE* file = nullptr;  // to fclose; null when refused or not opened
    std::uint64_t size = 0;     // of the file that was opened
    bool irregular = false;     // it opened, but was not a regular file
};
// With `noFollow` a name that is a symbolic link is not opened.
OpenedFile OpenRegularFile(const std::filesystem::path& name, bool noFollow);

// Whether the name is a symbolic link that cannot be resolved: a loop, or a
// chain longer than the system follows. (Windows: whether resolving the name
// loops, the one sign its library gives.)
bool IsUnresolvableLink(const std::filesystem::path& name);

// While it lives, threads started by this thread leave SIGINT, SIGTERM,
// SIGHUP, SIGQUIT and SIGPIPE to the threads that take them, so the handler that removes
// temporary names runs in the thread that started the workers. While they
// name files, that thread must only wait for them: the handler waits for
// their naming stretches, so it must hold no lock they might need. (A thread
// that never names a file, as the output writer's, may run beside its
// starter.)
class WorkersLeaveSignalsAlone {
  public:
    WorkersLeaveSignalsAlone();
    WorkersLeaveSignalsAlone(const WorkersLeaveSignalsAlone&) = delete;
    WorkersLeaveSignalsAlone& operator=(const WorkersLeaveSignalsAlone&) = delete;
    ~WorkersLeaveSignalsAlone();

  private:
    struct Saved;
    std::unique_ptr<Saved> previous_;
};

// A new file in one folder that becomes the content of a name there. It has
// no name of its own where the system allows that (so not even SIGKILL can
// leave it behind) and is otherwise created exclusively under a fresh hidden
// name. Until it is moved, SIGINT, SIGTERM, SIGHUP, SIGQUIT and SIGPIPE
// remove it before the process ends; SIGXFSZ is ignored, so a file-size
// limit fails a write.
// Threads may each hold some at once (up to 128 in a process; Create fails
// beyond). Destruction removes what is left.
class TemporaryFile {
  public:
    TemporaryFile() = default;
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;
    ~TemporaryFile();

    // False when no file can be created in `folder`.
    bool Create(const std::filesystem::path& folder);
    // All bytes or false.
    bool Write(const char* data, std::size_t size);
    // Moves where the next Write goes to `offset` from the start.
    bool Seek(std::uint64_t offset);
    // Asks the system to start writing `size` bytes from `offset` to the
    // device now, so that Sync waits less; only a hint (Linux).
    void StartWriteback(std::uint64_t offset, std::size_t size);
    // Flushes the data to the device.
    bool Sync();
    // Gives the file the mode, owner and group of the existing `target`, or
    // the permissions of a new file when `target` does not exist. False when
    // the file cannot carry the target's identity (the owner or group cannot
    // be given, or the target has more than one hard link).
    bool TakeIdentityOf(const std::filesystem::path& target);
    // Moves the file onto `target` in one step (the old content or the new,
    // never a mix, also after a power loss). False leaves the target as it was.
    // Without `replace` the move fails when the name exists by then, whoever
    // created it since it was last looked at.
    bool MoveOnto(const std::filesystem::path& target, bool replace = true);
    // Copies the synced content over the target's own bytes (every link,
    // the owner and the ACLs stay) and removes the file; when that copy
    // fails, the target's old bytes are put back and the file is moved onto
    // the target instead. False when that move fails, or when the old bytes
    // could not be put back (the target then holds the new content, its
    // other links not). Signals wait meanwhile.
    bool CopyOnto(const std::filesystem::path& target);

  private:
    void Remove();

    std::intptr_t file_ = -1;
    std::intptr_t folderHandle_ = -1;
    std::filesystem::path folder_;
    std::filesystem::path name_;  // empty while the file has no name
    int slot_ = -1;               // where a signal handler finds the name
};

}  // namespace kon::platform
