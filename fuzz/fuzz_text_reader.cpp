// Any bytes as a Kon text file, followed by the line derivation the loader
// runs after a successful read; a failed read names its line.

#include "harness.h"
#include "model/derive_lines.h"
#include "text/kon_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(kon::fuzz::Bytes(data, size));
    kon::KonModell model;
    const kon::Diagnostics read = kon::ReadKonText(in, "fuzz.csv", model);
    if (read.Ok()) {
        kon::DeriveLines(model);
    } else {
        const kon::Diagnostic* error = read.Error();
        kon::fuzz::Require(error->kind == kon::FaultKind::kReadError ||
                               error->where.unit == kon::Location::Unit::kLine,
                           "a text fault names its line");
    }
    return 0;
}
