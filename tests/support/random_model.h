#pragma once
// Random models for round trips. An archive model carries any bit pattern
// (special floats half the time) and Res words; a text model only values the
// text form keeps exactly, polygons of one corner or more, and no lines.
// Polygons use a few points only, so that many edges repeat.

#include <algorithm>
#include <bit>
#include <random>
#include <tuple>

#include "model/kon_modell.h"

namespace kon::test {

enum class Form { kMolkArchive, kTavArchive, kText };

inline KonModell RandomModel(std::mt19937& rng, Form form) {
    const bool text = form == Form::kText;
    const auto below = [&](std::uint32_t n) { return static_cast<std::int32_t>(rng() % n); };
    const auto bits = [&] { return static_cast<std::uint32_t>(rng()); };
    const auto int32 = [&] { return static_cast<std::int32_t>(bits()); };
    const auto byte = [&] { return static_cast<std::uint8_t>(rng()); };
    const auto real32 = [&] {
        constexpr std::uint32_t kSpecial[] = {0x80000000, 0x7F800000, 0xFF800000,
                                              0x7FC00001, 0x7F800001, 0xFFFFFFFF};
        if (text) return static_cast<float>(below(321) - 160) / 16.0f;
        return std::bit_cast<float>(rng() % 2 ? kSpecial[rng() % 6] : bits());
    };
    const auto real64 = [&] {
        constexpr std::uint64_t kSpecial[] = {0x8000000000000000, 0x7FF0000000000001,
                                              0xFFF8000000000123, 0x7FF0000000000000};
        if (text) return (below(2881) - 1440) / 4.0;
        return std::bit_cast<double>(rng() % 2 ? kSpecial[rng() % 4]
                                               : std::uint64_t{bits()} << 32 | bits());
    };
    KonModell m;
    m.Variante = form == Form::kTavArchive ? kVarianteTav : kVarianteMolk;
    m.Punkte.resize(1 + rng() % 30);
    for (CObPunkt& p : m.Punkte) {
        std::tie(p.X, p.Y, p.Z, p.R, p.G, p.B, p.TexX, p.TexY, p.TexId) = std::tuple{
            int32(), int32(), int32(), byte(), byte(), byte(), real32(), real32(), int32()};
        if (!text)
            std::tie(p.Res0, p.Res2, p.Res4, p.Marke) = std::tuple{bits(), bits(), bits(), byte()};
        p.Marke = rng() % 3 == 0 ? kZusatzMarke : text ? 0 : p.Marke;
        if (p.Marke != kZusatzMarke || form == Form::kMolkArchive) continue;
        for (std::int32_t k = below(4) + text; k > 0; --k)
            p.Zusatz.push_back({byte(), byte(), byte(), byte()});
        p.ZusatzAnzahl = static_cast<std::int32_t>(p.Zusatz.size());
    }
    const std::int32_t used = std::min(static_cast<std::int32_t>(m.Punkte.size()), 2 + below(7));
    m.Flaechenliste.resize(rng() % 30);
    for (Flaeche& f : m.Flaechenliste) {
        for (std::int32_t k = below(13) + text; k > 0; --k)  // up to 12 corners, -1 among them
            AppendEcke(f, static_cast<std::int16_t>(
                              below(30) == 0 ? -1 : below(static_cast<std::uint32_t>(used))));
    }
    m.Instanzen.resize(rng() % 5);
    for (CObFormat& f : m.Instanzen)
        f = {int32(), int32(), int32(), real64(), real64(), real64(), real32(), real32(), real32()};
    for (auto* lines : {&m.StrichLinien, &m.Linien, &m.MassLinien}) {
        lines->resize(text ? 0 : rng() % 4);
        for (Linie& l : *lines) l = {int32(), int32(), int32(), int32(), real64()};
    }
    return m;
}

}  // namespace kon::test
