#include "harness.h"

#include <cstdio>
#include <cstdlib>

#include "archive/kon_archive.h"
#include "io/load_model.h"
#include "text/kon_text.h"

namespace kon::fuzz {

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

std::string ReadsBack(const KonModell& model, bool archive) {
    std::stringstream bytes;
    if (archive) {
        WriteKonArchive(model, bytes);
    } else {
        WriteKonText(model, bytes, ';');
    }
    KonModell back;
    const std::string form = archive ? "archive" : "text";
    if (const Diagnostic* error = LoadKonStream(bytes, "model", back).diagnostics.Error())
        return form + " does not read back: " + error->message;
    if (back.Punkte.size() != model.Punkte.size() ||
        back.Flaechenliste.size() != model.Flaechenliste.size())
        return form + " reads back with other counts";
    for (std::size_t i = 0; i < model.Punkte.size() && !archive; ++i) {
        const CObPunkt& p = model.Punkte[i];
        const CObPunkt& q = back.Punkte[i];
        if (p.X != q.X || p.Y != q.Y || p.Z != q.Z || p.R != q.R || p.G != q.G || p.B != q.B)
            return form + " reads back other point " + std::to_string(i);
    }
    return "";
}

}  // namespace kon::fuzz
