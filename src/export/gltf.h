#pragma once
// The model as glTF 2.0: one mesh of the triangulated polygons (a primitive
// per TexId), the plan lines as a node of line primitives, and every instance
// placement as an empty node. Kon millimetres with Z up become metres with
// Y up: (x, y, z) -> (x / 1000, z / 1000, -y / 1000).

#include <iosfwd>

#include "model/kon_modell.h"

namespace kon {

enum class GltfForm {
    kBinary,  // .glb: header, JSON chunk, binary chunk
    kJson     // .gltf: JSON with the buffer as a base64 data URI
};

// Writes only the points that some triangle uses. Polygons naming a point
// that does not exist, and polygons without area, give no triangle. The
// binary form's lengths are filled in last, so its stream must be able to
// go back (a file or a string stream); one that cannot, and a binary form
// beyond the 4 GiB its length words can hold, are set to failed.
void WriteGltf(const KonModell& model, std::ostream& out, GltfForm form);

}  // namespace kon
