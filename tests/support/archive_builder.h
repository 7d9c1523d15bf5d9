#pragma once
// Builds archive bytes field by field for tests, keeping the running
// Klassenmarke, so a faulty archive is a few readable lines. It encodes the
// records on its own, independent of the program's writer.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/kon_modell.h"

namespace kon::test {

// One CObIndex object.
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
    ArchiveBuilder& Word(std::uint16_t value);
    ArchiveBuilder& Dword(std::uint32_t value);
    ArchiveBuilder& Byte(std::uint8_t value);
    ArchiveBuilder& Text(std::string_view text);
    ArchiveBuilder& Header(std::uint32_t kennung = 2880, std::uint32_t format = 2025);
    ArchiveBuilder& Kopf(std::string_view name);

    // Count word and Klassenkopf; the array takes the running value.
    ArchiveBuilder& Begin(std::uint16_t count, std::string_view name);
    // The array's Klassenmarke, as a separator.
    ArchiveBuilder& Marke();
    // Moves the running value on past an array of `objects` objects.
    ArchiveBuilder& End(std::uint32_t objects);
    std::uint16_t marke() const { return marke_; }

    ArchiveBuilder& Punkt(const CObPunkt& p, bool tav = false);
    ArchiveBuilder& Format(const CObFormat& f);
    ArchiveBuilder& Linie(const kon::Linie& l);
    ArchiveBuilder& Object(const Obj& o);

    // Whole arrays with their separators. `advance` overrides the number of
    // objects the index array moves the running value by.
    ArchiveBuilder& Punkte(const std::vector<CObPunkt>& points, bool tav = false);
    ArchiveBuilder& Index(const std::vector<Obj>& objects, int advance = -1);
    ArchiveBuilder& Formate(const std::vector<CObFormat>& formats);
    ArchiveBuilder& Linien(std::string_view name, const std::vector<kon::Linie>& lines);
    // The rest of a valid archive after the index array: empty arrays.
    ArchiveBuilder& EmptyTail();
    // The four empty arrays after the instance array.
    ArchiveBuilder& AfterInstances();

    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
    std::uint16_t running_ = 0x8001;
    std::uint16_t marke_ = 0x8001;
};

}  // namespace kon::test

namespace kon::test {

// ReadKonArchive and then CheckArchiveEnd, as LoadModel runs them, on a
// captured console whose standard input holds enough Return lines.
struct ReadOutcome {
    KonModell model;
    std::string out;
};
ReadOutcome ReadArchiveBytes(const std::string& bytes, const std::string& path = "m.dat");

}  // namespace kon::test
