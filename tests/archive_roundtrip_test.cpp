// Random models of both variants written, read back and written again; and
// every prefix of an archive refused as truncated.

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <random>
#include <sstream>
#include <tuple>

#include "archive/kon_archive.h"
#include "support/archive_builder.h"

namespace kon::test {
namespace {

class RandomModels {
  public:
    explicit RandomModels(unsigned seed) : rng_(seed) {}

    KonModell Make(std::int32_t variante) {
        KonModell m;
        m.Variante = variante;
        m.PunktAnzahl = Below(20);
        m.Punkte.resize(static_cast<std::size_t>(m.PunktAnzahl));
        for (CObPunkt& p : m.Punkte) FillPoint(p, variante);
        m.FlaechenAnzahl = Below(16);
        m.Flaechenliste.resize(static_cast<std::size_t>(m.FlaechenAnzahl));
        for (Flaeche& f : m.Flaechenliste) {
            const std::int32_t corners = Below(13);  // 0..12
            for (std::int32_t j = 0; j < corners; ++j) {
                AppendEcke(f, static_cast<std::int16_t>(Below(m.PunktAnzahl + 1) - 1));
            }
        }
        m.InstanzAnzahl = Below(5);
        m.Instanzen.resize(static_cast<std::size_t>(m.InstanzAnzahl));
        for (CObFormat& f : m.Instanzen) {
            f = {Int(), Int(), Int(), Double(), Double(), Double(), Float(), Float(), Float()};
        }
        FillLines(m.StrichLinien, m.StrichLinienAnzahl);
        FillLines(m.Linien, m.LinienAnzahl);
        FillLines(m.MassLinien, m.MassLinienAnzahl);
        return m;
    }

  private:
    std::int32_t Below(std::int32_t n) {
        return static_cast<std::int32_t>(rng_() % static_cast<std::uint32_t>(n));
    }
    std::uint32_t Bits() { return static_cast<std::uint32_t>(rng_()); }
    std::int32_t Int() { return static_cast<std::int32_t>(Bits()); }
    std::uint8_t Byte() { return static_cast<std::uint8_t>(rng_()); }
    // Half special values (signed zero, infinities, quiet and signalling NaNs
    // with payloads), half arbitrary bit patterns.
    float Float() {
        static constexpr std::uint32_t kSpecial[] = {0x80000000, 0x7F800000, 0xFF800000,
                                                     0x7FC00001, 0x7F800001, 0xFFFFFFFF};
        return std::bit_cast<float>(rng_() % 2 ? kSpecial[rng_() % 6] : Bits());
    }
    double Double() {
        static constexpr std::uint64_t kSpecial[] = {0x8000000000000000, 0x7FF0000000000001,
                                                     0xFFF8000000000123, 0x7FF0000000000000};
        const std::uint64_t bits = (std::uint64_t{Bits()} << 32) | Bits();
        return std::bit_cast<double>(rng_() % 2 ? kSpecial[rng_() % 4] : bits);
    }
    void FillPoint(CObPunkt& p, std::int32_t variante) {
        p = {Int(),  Int(),  Int(),  Bits(),  Bits(),  Bits(), Bits(), Bits(), Byte(),
             Byte(), Byte(), Byte(), Float(), Float(), Int(),  {},     0};
        if (rng_() % 2) p.Marke = kZusatzMarke;
        if (variante != kVarianteTav || p.Marke != kZusatzMarke) return;
        p.ZusatzAnzahl = Below(4);
        for (std::int32_t i = 0; i < p.ZusatzAnzahl; ++i) {
            p.Zusatz.push_back({Byte(), Byte(), Byte(), Byte()});
        }
    }
    void FillLines(std::vector<Linie>& lines, std::int32_t& count) {
        count = Below(4);
        lines.resize(static_cast<std::size_t>(count));
        for (Linie& l : lines) l = {Int(), Int(), Int(), Int(), Double()};
    }

    std::mt19937 rng_;
};

auto Key(const CObPunkt& p) {
    std::vector<std::tuple<int, int, int, int>> zusatz;
    for (const PunktZusatz& z : p.Zusatz) zusatz.emplace_back(z.Wert1, z.Wert2, z.Wert3, z.Kennung);
    return std::tuple(p.X, p.Y, p.Z, p.Res0, p.Res1, p.Res2, p.Res3, p.Res4, p.R, p.G, p.B, p.Marke,
                      std::bit_cast<std::uint32_t>(p.TexX), std::bit_cast<std::uint32_t>(p.TexY),
                      p.TexId, p.ZusatzAnzahl, zusatz);
}
auto Key(const CObFormat& f) {
    return std::tuple(f.MoveX, f.MoveY, f.MoveZ, std::bit_cast<std::uint64_t>(f.RotX),
                      std::bit_cast<std::uint64_t>(f.RotY), std::bit_cast<std::uint64_t>(f.RotZ),
                      std::bit_cast<std::uint32_t>(f.ScalX), std::bit_cast<std::uint32_t>(f.ScalY),
                      std::bit_cast<std::uint32_t>(f.ScalZ));
}
auto Key(const Linie& l) {
    return std::tuple(l.X1, l.Y1, l.X2, l.Y2, std::bit_cast<std::uint64_t>(l.Laenge));
}
std::vector<std::int16_t> Key(const Flaeche& f) {
    std::vector<std::int16_t> corners;
    for (std::size_t j = 0; j < static_cast<std::size_t>(f.Anzahl); ++j)
        corners.push_back(Ecke(f, j));
    return corners;
}
template <typename T>
auto Keys(const std::vector<T>& records, std::int32_t count) {
    std::vector<decltype(Key(records[0]))> keys;
    for (std::int32_t i = 0; i < count; ++i)
        keys.push_back(Key(records[static_cast<std::size_t>(i)]));
    return keys;
}

// Polygons as the stream orders them: by size class, stable, empty ones gone.
std::vector<std::vector<std::int16_t>> StreamOrder(const KonModell& m) {
    auto polygons = Keys(m.Flaechenliste, m.FlaechenAnzahl);
    std::erase_if(polygons, [](const auto& p) { return p.empty(); });
    std::stable_sort(polygons.begin(), polygons.end(), [](const auto& a, const auto& b) {
        return std::min<std::size_t>(a.size(), 5) < std::min<std::size_t>(b.size(), 5);
    });
    return polygons;
}

std::string Written(const KonModell& model) {
    std::ostringstream out;
    WriteKonArchiveTo(model, out);
    return out.str();
}

TEST(ArchiveRoundTripTest, RandomModelsComeBackFieldForField) {
    RandomModels random(20250611);
    for (int round = 0; round < 200; ++round) {
        const KonModell model = random.Make(round % 2 ? kVarianteTav : kVarianteMolk);
        const std::string bytes = Written(model);
        const ReadOutcome back = ReadArchiveBytes(bytes);
        ASSERT_EQ(back.out, "") << "round " << round;
        ASSERT_EQ(back.model.Geladen, 1);
        const KonModell& r = back.model;
        EXPECT_EQ(r.Variante, model.Variante);
        EXPECT_EQ(Keys(r.Punkte, r.PunktAnzahl), Keys(model.Punkte, model.PunktAnzahl));
        EXPECT_EQ(Keys(r.Flaechenliste, r.FlaechenAnzahl), StreamOrder(model));
        EXPECT_EQ(Keys(r.Instanzen, r.InstanzAnzahl), Keys(model.Instanzen, model.InstanzAnzahl));
        EXPECT_EQ(Keys(r.StrichLinien, r.StrichLinienAnzahl),
                  Keys(model.StrichLinien, model.StrichLinienAnzahl));
        EXPECT_EQ(Keys(r.Linien, r.LinienAnzahl), Keys(model.Linien, model.LinienAnzahl));
        EXPECT_EQ(Keys(r.MassLinien, r.MassLinienAnzahl),
                  Keys(model.MassLinien, model.MassLinienAnzahl));
        EXPECT_EQ(Written(r), bytes);
    }
}

TEST(ArchiveRoundTripTest, EveryPrefixIsTruncated) {
    RandomModels random(7);
    KonModell model = random.Make(kVarianteTav);
    while (model.PunktAnzahl < 2 || model.InstanzAnzahl < 2 || model.LinienAnzahl < 2) {
        model = random.Make(kVarianteTav);
    }
    const std::string bytes = Written(model);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const ReadOutcome r = ReadArchiveBytes(bytes.substr(0, length));
        ASSERT_EQ(r.out, "Unerwartetes Dateiende in m.dat!\nReturn->") << "length " << length;
        ASSERT_EQ(r.model.Geladen, 0);
    }
}

}  // namespace
}  // namespace kon::test
