#include "model/kon_modell.h"

#include <cassert>

namespace kon {

void AppendEcke(Flaeche& f, std::int16_t index) {
    const auto j = static_cast<std::size_t>(f.Anzahl);
    if (j < 4) {
        f.Ecken[j] = index;
    } else {
        assert(f.WeitereEcken.size() == j - 4);
        f.WeitereEcken.push_back(index);
    }
    ++f.Anzahl;
}

}  // namespace kon
