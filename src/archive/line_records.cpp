#include "archive/records.h"

namespace kon {

bool ReadLinie(Linie& linie, ByteCursor& in) {
    if (!in.Need(kLinieBytes)) return false;
    linie.X1 = in.I32();
    linie.Y1 = in.I32();
    linie.X2 = in.I32();
    linie.Y2 = in.I32();
    linie.Laenge = in.F64();
    return true;
}

void WriteLinie(const Linie& linie, ByteSink& out) {
    out.I32(linie.X1);
    out.I32(linie.Y1);
    out.I32(linie.X2);
    out.I32(linie.Y2);
    out.F64(linie.Laenge);
}

}  // namespace kon
