#pragma once
// One comparison of models for the tests and the fuzz targets: every record
// in use, field by field, floats by their bits (so -0.0 and NaN payloads
// count), and the first difference named.

#include <string>

#include "model/kon_modell.h"

namespace kon::test {

enum class Kept {
    kAll,      // every record as it is
    kArchive,  // what an archive keeps: polygons in its corner-count classes
               // (1, 2, 3, 4, more; stable) without empty ones, and supplement
               // lists only in the TAV variant
};

// Empty when the models agree, else e.g. "point 3 TexX: 1065353216 vs 0".
std::string ModelDifference(const KonModell& expected, const KonModell& actual,
                            Kept kept = Kept::kAll);

}  // namespace kon::test
