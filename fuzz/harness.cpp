#include "harness.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace kon::fuzz {

namespace {

int SizeClass(const Flaeche& f) {
    return std::min(f.Anzahl, 5);
}

std::vector<std::vector<std::int16_t>> StoredPolygons(const KonModell& m) {
    std::vector<const Flaeche*> order;
    for (const Flaeche& f : m.Flaechenliste) {
        if (f.Anzahl > 0) order.push_back(&f);
    }
    std::stable_sort(order.begin(), order.end(), [](const Flaeche* x, const Flaeche* y) {
        return SizeClass(*x) < SizeClass(*y);
    });
    std::vector<std::vector<std::int16_t>> polygons;
    for (const Flaeche* f : order) {
        std::vector<std::int16_t> corners;
        for (std::size_t j = 0; j < static_cast<std::size_t>(f->Anzahl); ++j) {
            corners.push_back(Ecke(*f, j));
        }
        polygons.push_back(std::move(corners));
    }
    return polygons;
}

bool SamePoint(const CObPunkt& p, const CObPunkt& q, bool withZusatz) {
    if (p.X != q.X || p.Y != q.Y || p.Z != q.Z || p.Res0 != q.Res0 || p.Res1 != q.Res1 ||
        p.Res2 != q.Res2 || p.Res3 != q.Res3 || p.Res4 != q.Res4 || p.R != q.R || p.G != q.G ||
        p.B != q.B || p.Marke != q.Marke || p.TexId != q.TexId ||
        std::bit_cast<std::uint32_t>(p.TexX) != std::bit_cast<std::uint32_t>(q.TexX) ||
        std::bit_cast<std::uint32_t>(p.TexY) != std::bit_cast<std::uint32_t>(q.TexY)) {
        return false;
    }
    if (!withZusatz) return true;
    if (p.ZusatzAnzahl != q.ZusatzAnzahl) return false;
    for (std::size_t i = 0; i < static_cast<std::size_t>(p.ZusatzAnzahl); ++i) {
        const PunktZusatz& a = p.Zusatz[i];
        const PunktZusatz& b = q.Zusatz[i];
        if (a.Kennung != b.Kennung || a.Wert1 != b.Wert1 || a.Wert2 != b.Wert2 ||
            a.Wert3 != b.Wert3) {
            return false;
        }
    }
    return true;
}

bool SameFormat(const CObFormat& f, const CObFormat& g) {
    return f.MoveX == g.MoveX && f.MoveY == g.MoveY && f.MoveZ == g.MoveZ &&
           std::bit_cast<std::uint64_t>(f.RotX) == std::bit_cast<std::uint64_t>(g.RotX) &&
           std::bit_cast<std::uint64_t>(f.RotY) == std::bit_cast<std::uint64_t>(g.RotY) &&
           std::bit_cast<std::uint64_t>(f.RotZ) == std::bit_cast<std::uint64_t>(g.RotZ) &&
           std::bit_cast<std::uint32_t>(f.ScalX) == std::bit_cast<std::uint32_t>(g.ScalX) &&
           std::bit_cast<std::uint32_t>(f.ScalY) == std::bit_cast<std::uint32_t>(g.ScalY) &&
           std::bit_cast<std::uint32_t>(f.ScalZ) == std::bit_cast<std::uint32_t>(g.ScalZ);
}

bool SameLines(const std::vector<Linie>& a, const std::vector<Linie>& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].X1 != b[i].X1 || a[i].Y1 != b[i].Y1 || a[i].X2 != b[i].X2 || a[i].Y2 != b[i].Y2 ||
            std::bit_cast<std::uint64_t>(a[i].Laenge) !=
                std::bit_cast<std::uint64_t>(b[i].Laenge)) {
            return false;
        }
    }
    return true;
}

}  // namespace

bool SameModel(const KonModell& a, const KonModell& b) {
    if (a.Variante != b.Variante || a.Punkte.size() != b.Punkte.size() ||
        a.Instanzen.size() != b.Instanzen.size()) {
        return false;
    }
    // Supplement lists travel through the archive only in the TAV variant.
    const bool withZusatz = a.Variante == kVarianteTav;
    for (std::size_t i = 0; i < a.Punkte.size(); ++i) {
        if (!SamePoint(a.Punkte[i], b.Punkte[i], withZusatz)) return false;
    }
    for (std::size_t i = 0; i < a.Instanzen.size(); ++i) {
        if (!SameFormat(a.Instanzen[i], b.Instanzen[i])) return false;
    }
    return SameLines(a.StrichLinien, b.StrichLinien) && SameLines(a.Linien, b.Linien) &&
           SameLines(a.MassLinien, b.MassLinien) && StoredPolygons(a) == StoredPolygons(b);
}

void Require(bool condition, const char* what) {
    if (condition) return;
    std::fprintf(stderr, "property violated: %s\n", what);
    std::abort();
}

}  // namespace kon::fuzz
