#pragma once
// The in-memory model that both file forms are read into and written from.
// Counts are held in 32 bits, so a model built from text never wraps; the
// archive writer refuses counts its 16-bit words cannot hold.

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

struct Flaeche {
    std::int32_t Anzahl = 0;
    std::int16_t Ecken[4] = {0, 0, 0, 0};
    std::vector<std::int16_t> WeitereEcken;
};

// The one place that knows where corner j of a polygon lives: the first four
// inline, every later one in WeitereEcken. Callers keep j below Anzahl.
inline std::int16_t Ecke(const Flaeche& f, std::size_t j) {
    return j < 4 ? f.Ecken[j] : f.WeitereEcken[j - 4];
}
inline std::int16_t& Ecke(Flaeche& f, std::size_t j) {
    return j < 4 ? f.Ecken[j] : f.WeitereEcken[j - 4];
}
// Appends a corner by the same rule, growing WeitereEcken as needed.
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

// Arrays are vectors: an absent array is an empty one, and every release
// walks the vector's own size, never the model's counts, so a model that a
// reader left half filled is released like any other.
struct KonModell {
    std::int32_t Variante = kVarianteMolk;
    std::int32_t PunktAnzahl = 0;
    std::vector<CObPunkt> Punkte;
    std::int32_t FlaechenAnzahl = 0;
    std::vector<Flaeche> Flaechenliste;
    std::int32_t InstanzAnzahl = 0;
    std::vector<CObFormat> Instanzen;
    std::string Name;
    std::vector<Linie> StrichLinien;
    std::int32_t StrichLinienAnzahl = 0;
    std::vector<Linie> Linien;
    std::int32_t LinienAnzahl = 0;
    std::vector<Linie> MassLinien;
    std::int32_t MassLinienAnzahl = 0;
    std::int32_t Geladen = 0;
};

// Releases points, polygons and instances and zeroes their counts; leaves
// Variante, Name, the line arrays and Geladen alone.
void ClearGeometry(KonModell& model);

// Releases everything the model owns; line counts are left as they are.
void ReleaseModel(KonModell& model);

}  // namespace kon
