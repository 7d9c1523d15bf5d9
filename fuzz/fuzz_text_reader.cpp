// Any bytes as a Kon text file, followed by the line derivation the driver
// runs after a successful read.

#include "harness.h"
#include "model/derive_lines.h"
#include "text/kon_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kon::fuzz::SinkConsole sink;
    std::istringstream in(kon::fuzz::Bytes(data, size));
    kon::KonModell model;
    if (kon::ReadKonText(model, in, sink.console, "fuzz.csv") != 0) kon::DeriveLines(model);
    kon::ReleaseModel(model);
    return 0;
}
