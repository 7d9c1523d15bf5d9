#pragma once
// The few file and memory operations the standard library lacks, with a
// POSIX and a Windows side in platform.cpp.

#include <filesystem>

namespace kon::platform {

// Creates a new, empty file in `directory` that did not exist before (never
// opens an existing one); its path goes to `created`. False when impossible.
bool CreateExclusiveFile(const std::filesystem::path& directory, std::filesystem::path& created);

// Whether the current user may write to the existing file.
bool MayWrite(const std::filesystem::path& file);

// The permissions a file created in place would get: 0666 less the umask.
std::filesystem::perms NewFilePermissions();

// Whether standard error is a terminal (a person watching), so a progress
// display may be drawn there.
bool StandardErrorIsTerminal();

// Once at program start: where the system allows it, the model's large
// arrays come from one heap region that the kernel may back with huge pages,
// so filling them does not take a page fault for every 4 KiB. Elsewhere it
// does nothing.
void PrepareModelHeap();

}  // namespace kon::platform
