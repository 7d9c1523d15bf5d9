#include "model/diagnostic.h"

namespace kon {

std::string_view FaultCode(FaultKind kind) {
    switch (kind) {
        case FaultKind::kNone:
            return "none";
        case FaultKind::kCannotOpen:
            return "cannot-open";
        case FaultKind::kReadError:
            return "read-error";
        case FaultKind::kOutOfMemory:
            return "out-of-memory";
        case FaultKind::kTruncated:
            return "truncated";
        case FaultKind::kBadVersion:
            return "bad-version";
        case FaultKind::kBadFraming:
            return "bad-framing";
        case FaultKind::kBadCount:
            return "bad-count";
        case FaultKind::kBadIndexStream:
            return "bad-index-stream";
        case FaultKind::kBadPointIndex:
            return "bad-point-index";
        case FaultKind::kNotKonText:
            return "not-kon-text";
        case FaultKind::kBadVariant:
            return "bad-variant";
        case FaultKind::kMissingSection:
            return "missing-section";
        case FaultKind::kTooManyLines:
            return "too-many-lines";
        case FaultKind::kBadPointRow:
            return "bad-point-row";
        case FaultKind::kBadInstanceRow:
            return "bad-instance-row";
        case FaultKind::kTooLarge:
            return "too-large";
        case FaultKind::kWriteError:
            return "write-error";
        case FaultKind::kTrailingBytes:
            return "trailing-bytes";
        case FaultKind::kImportFailed:
            return "import-failed";
    }
    return "unknown";
}

}  // namespace kon
