// The whole conversion on in-memory input: load either form, write the other
// one, and the output must load again.

#include "archive/kon_archive.h"
#include "harness.h"
#include "io/load_model.h"
#include "text/kon_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes = kon::fuzz::Bytes(data, size);
    std::istringstream in(bytes);
    kon::KonModell model;
    const kon::LoadResult loaded = kon::LoadKonStream(in, "fuzz.dat", model);
    if (loaded.diagnostics.Ok() && model.Variante == kon::kVarianteMolk) {
        std::ostringstream out;
        if (loaded.form == kon::KonForm::kText && !kon::CheckFitsKonArchive(model)) {
            kon::WriteKonArchive(model, out);
        } else {
            kon::WriteKonText(model, out, ';');
        }
        std::istringstream back(out.str());
        kon::KonModell again;
        kon::fuzz::Require(kon::LoadKonStream(back, "fuzz.out", again).diagnostics.Ok(),
                           "written output loads again");
    }
    return 0;
}
