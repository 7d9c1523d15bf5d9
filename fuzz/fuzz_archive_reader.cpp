// Any bytes as a Kon archive: the reader and its end check must never crash,
// leak or read out of bounds.

#include "archive/kon_archive.h"
#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kon::fuzz::SinkConsole sink;
    std::istringstream in(kon::fuzz::Bytes(data, size));
    kon::KonModell model;
    kon::ReadKonArchive(model, in, sink.console, "fuzz.kon");
    kon::CheckArchiveEnd(in, sink.console);
    kon::ReleaseModel(model);
    return 0;
}
