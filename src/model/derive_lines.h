#pragma once

#include "model/kon_modell.h"

namespace kon {

// Rebuilds MassLinien, Linien and StrichLinien from the polygons and the
// points' X and Y.
void DeriveLines(KonModell& model);

}  // namespace kon
