// When an archive loads, writing it and reading the result back gives the
// same model, and writing that again gives the same bytes.

#include "archive/kon_archive.h"
#include "harness.h"
#include "support/model_compare.h"

namespace {

std::string Write(const kon::KonModell& model) {
    std::ostringstream out;
    kon::WriteKonArchiveTo(model, out);
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kon::fuzz::SinkConsole sink;
    std::istringstream in(kon::fuzz::Bytes(data, size));
    kon::KonModell model;
    kon::ReadKonArchive(model, in, sink.console, "fuzz.kon");
    if (model.Geladen != 0) {
        const std::string first = Write(model);
        std::istringstream back(first);
        kon::KonModell again;
        kon::ReadKonArchive(again, back, sink.console, "fuzz.kon");
        kon::fuzz::Require(again.Geladen != 0, "written archive loads");
        kon::fuzz::Require(
            kon::test::ModelDifference(model, again, kon::test::Kept::kArchive).empty(),
            "read back gives the same model");
        kon::fuzz::Require(Write(again) == first, "writing again gives the same bytes");
        kon::ReleaseModel(again);
    }
    kon::ReleaseModel(model);
    return 0;
}
