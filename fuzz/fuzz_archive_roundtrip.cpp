// When an archive loads, writing it and reading the result back gives the
// same model, and writing that again gives the same bytes.

#include "archive/kon_archive.h"
#include "harness.h"
#include "support/model_compare.h"

namespace {

std::string Write(const kon::KonModell& model) {
    std::ostringstream out;
    kon::WriteKonArchive(model, out);
    return out.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(kon::fuzz::Bytes(data, size));
    kon::KonModell model;
    if (kon::ReadKonArchive(in, "fuzz.kon", model).Ok()) {
        kon::fuzz::Require(!kon::CheckFitsKonArchive(model), "a read archive fits an archive");
        const std::string first = Write(model);
        std::istringstream back(first);
        kon::KonModell again;
        kon::fuzz::Require(kon::ReadKonArchive(back, "fuzz.kon", again).Ok(),
                           "written archive loads");
        kon::fuzz::Require(
            kon::test::ModelDifference(model, again, kon::test::Kept::kArchive).empty(),
            "read back gives the same model");
        kon::fuzz::Require(Write(again) == first, "writing again gives the same bytes");
    }
    return 0;
}
