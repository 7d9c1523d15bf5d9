#pragma once
// Replacing an output file so that it is never half written: the bytes go to
// a new temporary file next to the output, which is synced to the device and
// moved onto the output's name only after everything was written without
// error. The replaced file keeps its mode, owner, group and hard links.

#include <functional>
#include <iosfwd>
#include <string>

namespace kon {

enum class OutputResult {
    kWritten,
    kOpenFailed,   // not a writable regular file, no temporary file, or the move failed
    kWriteFailed,  // a write or the close failed; the output is as it was
    kNameTaken,    // only a new file was asked for, and the name exists
};

// Whether the output name counts as taken, so replacing it needs consent:
// something of that name exists, or the name is a symbolic link that cannot
// be resolved.
bool OutputNameTaken(const std::string& outputName);

// Without `replace` only a new file is written: a name that exists before,
// or is created by someone else while the bytes are written, stays as it is.
OutputResult WriteOutputFile(const std::string& outputName,
                             const std::function<void(std::ostream&)>& write, bool replace = true);

}  // namespace kon
