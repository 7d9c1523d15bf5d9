#pragma once
// The polygon index stream: the CObIndex objects that hold every polygon,
// sorted into five sections by corner count and divided by marker entries.

#include <cstddef>
#include <cstdint>

#include "archive/archive_input.h"
#include "archive/byte_cursor.h"
#include "model/kon_modell.h"

namespace kon {

// The number of objects EncodeIndexStream writes: 6 + all corners + one
// closing marker per polygon of more than four corners. Exact, never wraps.
std::uint64_t CountIndexObjects(const KonModell& model);

// Writes the objects with the Klassenmarke between them; nothing else.
void EncodeIndexStream(const KonModell& model, ByteSink& out, std::uint16_t marke);

// Reads `count` objects (1..65535), validates the whole stream, then fills
// Flaechenliste and checks its indices against the points read before.
// False after a reported failure.
bool DecodeIndexStream(KonModell& model, ArchiveInput& in, std::size_t count, std::uint16_t marke);

}  // namespace kon
