#pragma once
// The point, instance and line records of the archive and the loops that
// read and write the point and instance arrays with their separators.

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "archive/archive_input.h"
#include "archive/byte_cursor.h"
#include "model/kon_modell.h"

namespace kon {

// How many elements of an array a writer may take: the model's count, never
// below 0 and never beyond the array's room.
inline std::size_t InUse(std::int32_t count, std::size_t room) {
    return count <= 0 ? 0 : std::min(static_cast<std::size_t>(count), room);
}

// Fills Punkte with model.PunktAnzahl points (1..32767, checked by the
// caller). False after a reported failure.
bool ReadPunktArray(KonModell& model, ArchiveInput& in, std::uint16_t marke);
void WritePunktArray(const KonModell& model, ByteSink& out, std::uint16_t marke);
// One point with its Zusatz list; fails only on a short read or a negative
// list count, both reported.
bool ReadPunkt(CObPunkt& punkt, ArchiveInput& in, std::int32_t variante);
void WritePunkt(const CObPunkt& punkt, ByteSink& out, std::int32_t variante);

// Installs `count` default instances, then reads them. False after a
// reported failure.
bool ReadFormatArray(KonModell& model, ArchiveInput& in, std::uint16_t count, std::uint16_t marke);
void WriteFormatArray(const KonModell& model, ByteSink& out, std::uint16_t marke);
// Single records: false only when the bytes run out (nothing reported).
bool ReadFormat(CObFormat& format, ByteCursor& in);
void WriteFormat(const CObFormat& format, ByteSink& out);
bool ReadLinie(Linie& linie, ByteCursor& in);
void WriteLinie(const Linie& linie, ByteSink& out);

inline constexpr std::size_t kPunktBytes = 48;
inline constexpr std::size_t kZusatzEntryBytes = 5;
inline constexpr std::size_t kFormatBytes = 48;
inline constexpr std::size_t kLinieBytes = 24;

}  // namespace kon
