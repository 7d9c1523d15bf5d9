#pragma once
// The plan of a model as SVG: the X/Y plane seen from above (Y upward),
// fitted to a page of fixed size, so line widths and lettering keep their
// size whatever the model's extent.

#include <iosfwd>

#include "model/kon_modell.h"

namespace kon {

struct SvgOptions {
    bool fill = true;  // polygons filled lightly with their points' average colour
};

// Linien solid, StrichLinien dashed, MassLinien as dimension lines with their
// Laenge (millimetres) at the middle. Corners naming no point are skipped.
void WriteSvgPlan(const KonModell& model, std::ostream& out, const SvgOptions& options);

}  // namespace kon
