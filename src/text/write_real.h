#pragma once
// The two real formats of the text form: printf's "%.4f" and "%.2f" in the
// C locale with the first "." turned into ",". Non-finite values have no
// decimal mark ("inf", "-inf", "nan", "-nan").

#include "text/text_chunk.h"

namespace kon {

// TexX, TexY, ScalX, ScalY, ScalZ: widened to double, four decimals.
void WriteReal4(TextChunk& out, float value);
// RotX, RotY, RotZ: two decimals.
void WriteReal2(TextChunk& out, double value);

}  // namespace kon
