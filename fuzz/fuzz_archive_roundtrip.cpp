// When an archive loads, writing it and reading the result back loads, and
// writing that again gives the same bytes (the writer keeps every field an
// archive holds, so a model read back differently would write differently).

#include "archive/kon_archive.h"
#include "harness.h"

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
        kon::fuzz::Require(Write(again) == first, "writing again gives the same bytes");
    }
    return 0;
}
