// Any bytes as a Kon archive: the reader and its end check must never crash,
// leak or read out of bounds, and a failed read names exactly one error.

#include "archive/kon_archive.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(kon::fuzz::Bytes(data, size));
    kon::KonModell model;
    const kon::Diagnostics read = kon::ReadKonArchive(in, "fuzz.kon", model);
    std::size_t errors = 0;
    for (const kon::Diagnostic& d : read.items) {
        if (d.severity == kon::Severity::kError) {
            ++errors;
            kon::fuzz::Require(d.where.value <= size, "a fault lies inside the input");
        }
    }
    kon::fuzz::Require(errors <= 1, "at most one error");
    kon::CheckArchiveEnd(in);
    return 0;
}
