#pragma once
// Replacing an output file so that it is never half written: the bytes go to
// a new temporary file next to the output, which is moved onto the output's
// name only after everything was written and closed without error.

#include <functional>
#include <iosfwd>
#include <string>

namespace kon {

enum class OutputResult {
    kWritten,
    kOpenFailed,   // not a writable regular file, no temporary file, or the move failed
    kWriteFailed,  // a write or the close failed; the output is as it was
};

OutputResult WriteOutputFile(const std::string& outputName,
                             const std::function<void(std::ostream&)>& write);

}  // namespace kon
