#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "support/captured_console.h"
#include "text/kon_text.h"

namespace kon {
namespace {

KonModell RandomModel(std::mt19937& random) {
    auto number = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    auto real = [&](double bound) {
        return std::uniform_real_distribution<double>(-bound, bound)(random);
    };
    auto byte = [&] { return static_cast<std::uint8_t>(number(0, 255)); };
    KonModell model;
    model.Punkte.resize(static_cast<std::size_t>(number(1, 40)));
    model.PunktAnzahl = static_cast<std::int32_t>(model.Punkte.size());
    for (CObPunkt& p : model.Punkte) {
        p.X = number(INT32_MIN, INT32_MAX);
        p.Y = number(-9, 9);
        p.R = byte();
        p.B = byte();
        p.TexX = static_cast<float>(real(1));
        p.TexY = static_cast<float>(real(5000));
        p.TexId = number(-3, 999);
        for (int k = number(0, 3); k > 0; --k) p.Zusatz.push_back({byte(), 0, byte(), byte()});
        p.ZusatzAnzahl = static_cast<std::int32_t>(p.Zusatz.size());
        p.Marke = p.ZusatzAnzahl != 0 ? kZusatzMarke : 0;
    }
    model.Flaechenliste.resize(static_cast<std::size_t>(number(0, 30)));
    model.FlaechenAnzahl = static_cast<std::int32_t>(model.Flaechenliste.size());
    for (Flaeche& f : model.Flaechenliste) {
        for (int k = number(1, 12); k > 0; --k) {
            AppendEcke(f, static_cast<std::int16_t>(number(-32768, model.PunktAnzahl - 1)));
        }
    }
    model.Instanzen.resize(static_cast<std::size_t>(number(0, 5)));
    model.InstanzAnzahl = static_cast<std::int32_t>(model.Instanzen.size());
    for (CObFormat& i : model.Instanzen) {
        i = {number(-9, 9),
             number(INT32_MIN, INT32_MAX),
             0,
             real(360),
             real(1e6),
             0.125,
             static_cast<float>(real(100)),
             1.0f,
             static_cast<float>(real(1e-3))};
    }
    return model;
}

std::string Written(const KonModell& model, char separator) {
    std::ostringstream out;
    WriteKonText(model, out, separator);
    return out.str();
}

// The model read back writes the same text: integers came back exactly and
// reals to the decimals the text form keeps.
TEST(TextRoundTripTest, RandomModelsComeBackAsWritten) {
    std::mt19937 random(4711);
    for (int round = 0; round < 300; ++round) {
        const KonModell original = RandomModel(random);
        const char separator = round % 2 == 0 ? ';' : '\t';
        const std::string text = Written(original, separator);
        std::istringstream in(text, std::ios::binary);
        test::CapturedConsole console;
        KonModell read;
        ASSERT_EQ(ReadKonText(read, in, console.console, "r.csv"), 1) << console.out.str();
        EXPECT_EQ(Written(read, separator), text);
        for (std::size_t n = 0; n < original.Punkte.size(); ++n) {
            EXPECT_EQ(read.Punkte[n].Marke, original.Punkte[n].Marke);
        }
    }
}

}  // namespace
}  // namespace kon
