#pragma once
// Builds archive bytes field by field for tests, keeping the running
// Klassenmarke, so a faulty archive is a few readable lines. It encodes the
// records on its own, independent of the program's writer.

#include <bit>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "model/diagnostic.h"
#include "model/kon_modell.h"

namespace kon::test {

// One CObIndex object: Vert(n,1) or a point entry.
struct Obj {
    std::int32_t wert;
    std::int32_t kennzeichen;
};
inline Obj V(std::int32_t n) {
    return {n, 1};
}
inline Obj P(std::int32_t index) {
    return {index, 0};
}
// The stream of a model without polygons.
std::vector<Obj> EmptyStream();

class ArchiveBuilder {
  public:
    // Any number or float, little-endian, its own width.
    template <typename T>
    ArchiveBuilder& Raw(T value) {
        if constexpr (sizeof(T) == 1) {
            bytes_ += static_cast<char>(value);
        } else if constexpr (sizeof(T) == 2) {
            Raw(static_cast<std::uint8_t>(value & 0xFF)).Raw(static_cast<std::uint8_t>(value >> 8));
        } else if constexpr (sizeof(T) == 4) {
            const auto bits = std::bit_cast<std::uint32_t>(value);
            Word(static_cast<std::uint16_t>(bits & 0xFFFF))
                .Word(static_cast<std::uint16_t>(bits >> 16));
        } else {
            const auto bits = std::bit_cast<std::uint64_t>(value);
            Dword(static_cast<std::uint32_t>(bits)).Dword(static_cast<std::uint32_t>(bits >> 32));
        }
        return *this;
    }
    ArchiveBuilder& Word(std::uint16_t value) { return Raw(value); }
    ArchiveBuilder& Dword(std::uint32_t value) { return Raw(value); }
    ArchiveBuilder& Words(std::initializer_list<std::uint16_t> words) {
        for (const std::uint16_t w : words) Word(w);
        return *this;
    }
    ArchiveBuilder& Text(std::string_view text);
    ArchiveBuilder& Header(std::uint32_t kennung = 2880, std::uint32_t format = 2025);
    ArchiveBuilder& Kopf(std::string_view name);

    // Count word and Klassenkopf; the array takes the running value.
    ArchiveBuilder& Begin(std::uint16_t count, std::string_view name);
    // The array's Klassenmarke, as a separator.
    ArchiveBuilder& Marke() { return Word(marke_); }
    // Moves the running value on past an array of `objects` objects.
    ArchiveBuilder& End(std::uint32_t objects);

    ArchiveBuilder& Punkt(const CObPunkt& p, bool tav = false);
    ArchiveBuilder& Format(const CObFormat& f);
    ArchiveBuilder& Linie(const kon::Linie& l);
    ArchiveBuilder& Object(const Obj& o) { return Raw(o.wert).Raw(o.kennzeichen); }

    // Whole arrays with their separators; an empty one is its count word.
    // `advance` overrides the number of objects the index array counts for.
    ArchiveBuilder& Punkte(const std::vector<CObPunkt>& points, bool tav = false);
    ArchiveBuilder& Index(const std::vector<Obj>& objects, int advance = -1);
    ArchiveBuilder& Formate(const std::vector<CObFormat>& formats);
    ArchiveBuilder& Linien(std::string_view name, const std::vector<kon::Linie>& lines);
    // The empty arrays after the index array, or after the instance array.
    ArchiveBuilder& EmptyTail() { return Word(0).AfterInstances(); }
    ArchiveBuilder& AfterInstances() { return Word(0).Word(0).Word(0).Word(0); }

    const std::string& bytes() const { return bytes_; }

  private:
    template <typename T, typename WriteOne>
    ArchiveBuilder& Array(const std::vector<T>& records, std::string_view name, WriteOne writeOne);

    std::string bytes_;
    std::uint16_t running_ = 0x8001;
    std::uint16_t marke_ = 0x8001;
};

// ReadKonArchive and then CheckArchiveEnd, as LoadKonStream runs them;
// `out` is every message in order, as konvert shows them without its waits.
struct ReadOutcome {
    KonModell model;
    Diagnostics diagnostics;
    std::string out;
};
ReadOutcome ReadArchiveBytes(const std::string& bytes, const std::string& path = "m.dat");

// The variant, every count and every record, field by field through
// the builder's own encoding, so two models compare as bytes.
std::string Records(const KonModell& model);
// What an archive keeps of a model: the polygons in the stream's size-class
// order without empty ones, and no Zusatz lists in a MOLK model.
KonModell AsArchived(KonModell model);

}  // namespace kon::test
