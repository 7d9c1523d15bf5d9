// The whole conversion on in-memory input: load either form, write the other
// one, and the output must load again.

#include <string_view>

#include "archive/kon_archive.h"
#include "driver/ascii_case.h"
#include "driver/load_model.h"
#include "harness.h"
#include "text/kon_text.h"

namespace {

bool LooksLikeText(std::string_view bytes) {
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
    return kon::StartsWithIgnoreCase(bytes, "KON");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kon::fuzz::SinkConsole sink;
    const std::string bytes = kon::fuzz::Bytes(data, size);
    std::istringstream in(bytes);
    kon::KonModell model;
    kon::LoadModelFrom(model, in, sink.console, "fuzz.dat");
    if (model.Geladen != 0 && model.Variante == kon::kVarianteMolk) {
        std::ostringstream out;
        const bool toArchive = LooksLikeText(bytes);
        if (toArchive && kon::FitsKonArchive(model)) {
            kon::WriteKonArchiveTo(model, out);
        } else {
            kon::WriteKonText(model, out, ';');
        }
        std::istringstream back(out.str());
        kon::KonModell again;
        kon::LoadModelFrom(again, back, sink.console, "fuzz.out");
        kon::fuzz::Require(again.Geladen != 0, "written output loads again");
        kon::ReleaseModel(again);
    }
    kon::ReleaseModel(model);
    return 0;
}
