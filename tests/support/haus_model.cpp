#include "support/haus_model.h"

#include <cmath>
#include <sstream>
#include <tuple>
#include <vector>

#include "archive/kon_archive.h"
#include "support/konvert_runner.h"

namespace kon::test {

KonModell HausModell() {
    KonModell m;
    m.Punkte.resize(4);
    const std::int32_t xyz[4][3] = {{0, 0, 0}, {1000, 0, -250}, {0, 1000, 0}, {1000, 1000, 0}};
    const std::uint8_t rgb[4][3] = {{255, 255, 255}, {255, 0, 0}, {0, 0, 0}, {0, 128, 0}};
    const float tex[4][2] = {{0, 0}, {1.5f, 0.25f}, {0, 1}, {1, 1}};
    for (std::size_t i = 0; i < 4; ++i) {
        CObPunkt& p = m.Punkte[i];
        std::tie(p.X, p.Y, p.Z, p.R, p.G, p.B) =
            std::tuple(xyz[i][0], xyz[i][1], xyz[i][2], rgb[i][0], rgb[i][1], rgb[i][2]);
        std::tie(p.TexX, p.TexY) = std::tuple(tex[i][0], tex[i][1]);
    }
    m.Punkte[1].TexId = 3;
    m.Punkte[1].Zusatz = {PunktZusatz{10, 20, 30, 2}};
    m.Punkte[1].ZusatzAnzahl = 1;
    m.Punkte[1].Marke = kZusatzMarke;
    for (const auto& corners : {std::vector<std::int16_t>{0, 1, 2}, {1, 3, 2}, {0, 3}}) {
        m.Flaechenliste.emplace_back();
        for (std::int16_t c : corners) AppendEcke(m.Flaechenliste.back(), c);
    }
    m.Instanzen = {CObFormat{500, 0, -20, 0.0, 0.0, 90.0, 1.0f, 1.0f, 1.0f}};
    // The two-corner polygon is the dimension line; edge {1, 2} is shared by
    // both triangles and dashed, met first as 1 -> 2; the rest are single.
    const double diagonal = std::sqrt(2000000.0);
    m.MassLinien = {Linie{0, 0, 1000, 1000, diagonal}};
    m.Linien = {Linie{0, 0, 1000, 0, 1000.0}, Linie{0, 1000, 0, 0, 1000.0},
                Linie{1000, 0, 1000, 1000, 1000.0}, Linie{1000, 1000, 0, 1000, 1000.0}};
    m.StrichLinien = {Linie{1000, 0, 0, 1000, diagonal}};
    return m;
}

std::string ArchiveBytes(const KonModell& model) {
    std::ostringstream out(std::ios::binary);
    WriteKonArchive(model, out);
    return out.str();
}

std::string ExampleFile(const std::string& name) {
    return ReadFileBytes(std::filesystem::path(KONVERT_EXAMPLES_DIR) / name);
}

}  // namespace kon::test
