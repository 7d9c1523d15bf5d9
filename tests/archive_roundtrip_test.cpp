// Random models of both variants written, read back and written again; and
// every prefix of an archive refused as truncated.

#include <gtest/gtest.h>

#include <bit>
#include <random>

#include "support/archive_builder.h"
#include "support/haus_model.h"

namespace kon::test {
namespace {

class RandomModels {
  public:
    explicit RandomModels(unsigned seed) : rng_(seed) {}

    KonModell Make(std::int32_t variante) {
        KonModell m;
        m.Variante = variante;
        m.Punkte.resize(Below(20));
        for (CObPunkt& p : m.Punkte) {
            p = {Int(),  Int(),  Int(),  Bits(),  Bits(),  Bits(), Bits(), Bits(), Byte(),
                 Byte(), Byte(), Byte(), Float(), Float(), Int(),  {},     0};
            if (rng_() % 2) p.Marke = kZusatzMarke;
            if (variante != kVarianteTav || p.Marke != kZusatzMarke) continue;
            p.Zusatz.resize(Below(4));
            for (PunktZusatz& z : p.Zusatz) z = {Byte(), Byte(), Byte(), Byte()};
            p.ZusatzAnzahl = static_cast<std::int32_t>(p.Zusatz.size());
        }
        m.PunktAnzahl = static_cast<std::int32_t>(m.Punkte.size());
        m.Flaechenliste.resize(Below(16));
        for (Flaeche& f : m.Flaechenliste) {
            for (std::size_t j = Below(13); j > 0; --j)  // 0..12 corners, -1 among the indices
                AppendEcke(
                    f, static_cast<std::int16_t>(static_cast<int>(Below(m.Punkte.size() + 1)) - 1));
        }
        m.FlaechenAnzahl = static_cast<std::int32_t>(m.Flaechenliste.size());
        m.Instanzen.resize(Below(5));
        for (CObFormat& f : m.Instanzen)
            f = {Int(), Int(), Int(), Double(), Double(), Double(), Float(), Float(), Float()};
        m.InstanzAnzahl = static_cast<std::int32_t>(m.Instanzen.size());
        for (auto* lines : {&m.StrichLinien, &m.Linien, &m.MassLinien}) {
            lines->resize(Below(4));
            for (Linie& l : *lines) l = {Int(), Int(), Int(), Int(), Double()};
        }
        m.StrichLinienAnzahl = static_cast<std::int32_t>(m.StrichLinien.size());
        m.LinienAnzahl = static_cast<std::int32_t>(m.Linien.size());
        m.MassLinienAnzahl = static_cast<std::int32_t>(m.MassLinien.size());
        return m;
    }

  private:
    std::size_t Below(std::size_t n) { return rng_() % n; }
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

    std::mt19937 rng_;
};

TEST(ArchiveRoundTripTest, RandomModelsComeBackFieldForField) {
    RandomModels random(20250611);
    for (int round = 0; round < 200; ++round) {
        const KonModell model = random.Make(round % 2 ? kVarianteTav : kVarianteMolk);
        const std::string bytes = ArchiveBytes(model);
        const ReadOutcome back = ReadArchiveBytes(bytes);
        ASSERT_EQ(back.out, "") << "round " << round;
        ASSERT_EQ(back.model.Geladen, 1);
        EXPECT_EQ(Records(back.model), Records(AsArchived(model))) << "round " << round;
        EXPECT_EQ(ArchiveBytes(back.model), bytes);
    }
}

TEST(ArchiveRoundTripTest, EveryPrefixIsTruncated) {
    RandomModels random(7);
    KonModell model = random.Make(kVarianteTav);
    while (model.PunktAnzahl < 2 || model.InstanzAnzahl < 2 || model.LinienAnzahl < 2)
        model = random.Make(kVarianteTav);
    const std::string bytes = ArchiveBytes(model);
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        const ReadOutcome r = ReadArchiveBytes(bytes.substr(0, length));
        ASSERT_EQ(r.out, "Unerwartetes Dateiende in m.dat!\nReturn->") << "length " << length;
        ASSERT_EQ(r.model.Geladen, 0);
    }
}

}  // namespace
}  // namespace kon::test
