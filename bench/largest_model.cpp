#include "largest_model.h"

#include <random>

#include "model/derive_lines.h"

namespace kon::bench {

namespace {

constexpr std::int32_t kGridWidth = 181;  // 181 * 181 >= 32767 points
constexpr std::int32_t kSpacing = 250;

// mt19937 gives the same sequence everywhere; the standard distributions do
// not, so reals are made from its raw words.
double Unit(std::mt19937& rng) {
    return static_cast<double>(rng()) / 4294967296.0;
}
std::int32_t Between(std::mt19937& rng, std::int32_t low, std::int32_t high) {
    const auto span = static_cast<std::uint32_t>(high - low) + 1u;
    return low + static_cast<std::int32_t>(rng() % span);
}

void AddGridPoints(KonModell& model) {
    model.Punkte.resize(static_cast<std::size_t>(kMaxCount));
    for (std::int32_t i = 0; i < kMaxCount; ++i) {
        CObPunkt& p = model.Punkte[static_cast<std::size_t>(i)];
        const std::int32_t col = i % kGridWidth;
        const std::int32_t row = i / kGridWidth;
        p.X = col * kSpacing - 22500;
        p.Y = row * kSpacing - 22500;
        p.Z = (col * 37 + row * 91) % 2001 - 1000;
        p.R = static_cast<std::uint8_t>(col);
        p.G = static_cast<std::uint8_t>(row);
        p.B = static_cast<std::uint8_t>(i);
        p.TexId = row % 8;
        p.TexX = static_cast<float>(col) / 180.0f;
        p.TexY = static_cast<float>(row) / 181.0f;
    }
}

void AddTriangle(KonModell& model, std::int32_t a, std::int32_t b, std::int32_t c) {
    Flaeche f;
    AppendEcke(f, static_cast<std::int16_t>(a));
    AppendEcke(f, static_cast<std::int16_t>(b));
    AppendEcke(f, static_cast<std::int16_t>(c));
    model.Flaechenliste.push_back(std::move(f));
}

// Two triangles per grid cell, row by row: the diagonal is shared inside the
// cell, the other sides with the neighbouring cells.
void AddGridTriangles(KonModell& model) {
    model.Flaechenliste.reserve(static_cast<std::size_t>(kTriangles));
    for (std::int32_t cell = 0; static_cast<std::int32_t>(model.Flaechenliste.size()) < kTriangles;
         ++cell) {
        const std::int32_t p = (cell / (kGridWidth - 1)) * kGridWidth + cell % (kGridWidth - 1);
        AddTriangle(model, p, p + 1, p + kGridWidth);
        if (static_cast<std::int32_t>(model.Flaechenliste.size()) < kTriangles) {
            AddTriangle(model, p + 1, p + kGridWidth + 1, p + kGridWidth);
        }
    }
}

void AddInstances(KonModell& model, std::mt19937& rng) {
    model.Instanzen.resize(static_cast<std::size_t>(kMaxCount));
    for (CObFormat& f : model.Instanzen) {
        f.MoveX = Between(rng, -1000000, 1000000);
        f.MoveY = Between(rng, -1000000, 1000000);
        f.MoveZ = Between(rng, -5000, 5000);
        f.RotX = Unit(rng) * 360.0 - 180.0;
        f.RotY = Unit(rng) * 90.0 - 45.0;
        // Whole and half hundredths too, where rounding is decided.
        f.RotZ = static_cast<double>(Between(rng, -36000, 36000)) / 200.0;
        f.ScalX = static_cast<float>(0.25 + Unit(rng) * 3.75);
        f.ScalY = static_cast<float>(Between(rng, 1, 40000)) / 8192.0f;
        f.ScalZ = static_cast<float>(-Unit(rng));
    }
}

}  // namespace

KonModell LargestModel() {
    KonModell model;
    std::mt19937 rng(32767);
    AddGridPoints(model);
    AddGridTriangles(model);
    AddInstances(model, rng);
    DeriveLines(model);
    return model;
}

KonModell LongPolygonModel(std::size_t corners) {
    KonModell model;
    std::mt19937 rng(65535);
    AddGridPoints(model);
    Flaeche f;
    f.WeitereEcken.reserve(corners > 4 ? corners - 4 : 0);
    for (std::size_t i = 0; i < corners; ++i) {
        AppendEcke(f, static_cast<std::int16_t>(Between(rng, 0, kMaxCount - 1)));
    }
    model.Flaechenliste.push_back(std::move(f));
    return model;
}

}  // namespace kon::bench
