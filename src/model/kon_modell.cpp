#include "model/kon_modell.h"

namespace kon {

namespace {
// Swapping with an empty vector really returns the block; clear() would keep it.
template <typename T>
void Release(std::vector<T>& array) {
    std::vector<T>().swap(array);
}
}  // namespace

void AppendEcke(Flaeche& f, std::int16_t index) {
    const auto j = static_cast<std::size_t>(f.Anzahl);
    if (j < 4) {
        f.Ecken[j] = index;
    } else {
        // WeitereEcken may hold spare room from a reader; keep it in step.
        if (f.WeitereEcken.size() <= j - 4) f.WeitereEcken.resize(j - 3);
        f.WeitereEcken[j - 4] = index;
    }
    ++f.Anzahl;
}

void ClearGeometry(KonModell& model) {
    Release(model.Punkte);
    model.PunktAnzahl = 0;
    Release(model.Flaechenliste);
    model.FlaechenAnzahl = 0;
    Release(model.Instanzen);
    model.InstanzAnzahl = 0;
}

void ReleaseModel(KonModell& model) {
    std::string().swap(model.Name);
    Release(model.StrichLinien);
    Release(model.Linien);
    Release(model.MassLinien);
    ClearGeometry(model);
}

}  // namespace kon
