#pragma once

#include <string>

#include "driver/console.h"
#include "model/kon_modell.h"

namespace kon {

// Opens the input, tells the text form ("KON" in any case at its start) from
// the archive and reads it. The outcome is model.Geladen and model.Variante;
// every failure has been reported.
void LoadModel(KonModell& model, const std::string& path, Console& console);

}  // namespace kon
