#pragma once
// The in-memory model that both file forms are read into and written from.
// Every count is the size of its vector; the archive's 16-bit count words are
// derived from them when it is written (CheckFitsKonArchive refuses counts
// those words cannot hold).

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kon {

struct PunktZusatz {
    std::uint8_t Wert1 = 0;
    std::uint8_t Wert2 = 0;
    std::uint8_t Wert3 = 0;
    std::uint8_t Kennung = 0;
};

inline constexpr std::uint8_t kZusatzMarke = 0xEF;

struct CObPunkt {
    std::int32_t X = 0;
    std::int32_t Y = 0;
    std::int32_t Z = 0;
    std::uint32_t Res0 = 0;
    std::uint32_t Res1 = 0;
    std::uint32_t Res2 = 0;
    std::uint32_t Res3 = 0;
    std::uint32_t Res4 = 0;
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    std::uint8_t Marke = 0;
    float TexX = 0.0f;
    float TexY = 0.0f;
    std::int32_t TexId = 0;
    std::vector<PunktZusatz> Zusatz;
    std::int32_t ZusatzAnzahl = 0;
};

// The corners of a polygon: the first four inline, every later one in
// WeitereEcken. Invariant: WeitereEcken.size() == max(0, Anzahl - 4);
// AppendEcke keeps it.
struct Flaeche {
    std::int32_t Anzahl = 0;
    std::int16_t Ecken[4] = {0, 0, 0, 0};
    std::vector<std::int16_t> WeitereEcken;
};

// The one place that knows where corner j of a polygon lives. Callers keep j
// below Anzahl.
inline std::int16_t Ecke(const Flaeche& f, std::size_t j) {
    return j < 4 ? f.Ecken[j] : f.WeitereEcken[j - 4];
}
inline std::int16_t& Ecke(Flaeche& f, std::size_t j) {
    return j < 4 ? f.Ecken[j] : f.WeitereEcken[j - 4];
}
// Appends a corner by the same rule.
void AppendEcke(Flaeche& f, std::int16_t index);

struct CObFormat {
    std::int32_t MoveX = 0;
    std::int32_t MoveY = 0;
    std::int32_t MoveZ = 0;
    double RotX = 0.0;
    double RotY = 0.0;
    double RotZ = 0.0;
    float ScalX = 1.0f;
    float ScalY = 1.0f;
    float ScalZ = 1.0f;
};

// One plan line; the element of StrichLinien, Linien and MassLinien alike.
struct Linie {
    std::int32_t X1 = 0;
    std::int32_t Y1 = 0;
    std::int32_t X2 = 0;
    std::int32_t Y2 = 0;
    double Laenge = 0.0;
};

inline constexpr std::int32_t kVarianteMolk = 0;
inline constexpr std::int32_t kVarianteTav = 1;

// Arrays are vectors: an absent array is an empty one, and the number of
// points is Punkte.size(), and so on for every array.
struct KonModell {
    std::int32_t Variante = kVarianteMolk;
    std::vector<CObPunkt> Punkte;
    std::vector<Flaeche> Flaechenliste;
    std::vector<CObFormat> Instanzen;
    std::string Name;  // the model's name; no reader fills it
    std::vector<Linie> StrichLinien;
    std::vector<Linie> Linien;
    std::vector<Linie> MassLinien;
};

}  // namespace kon
