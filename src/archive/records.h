#pragma once
// The point, instance and line records of the archive. Each record's fields
// are listed once, in PunktFields, FormatFields and LinieFields, and the
// same list reads (FieldReader) and writes (FieldWriter) them.

#include <cstddef>
#include <cstdint>

#include "archive/archive_input.h"
#include "archive/byte_cursor.h"
#include "model/kon_modell.h"

namespace kon {

inline constexpr std::size_t kPunktBytes = 48;
inline constexpr std::size_t kZusatzEntryBytes = 5;
inline constexpr std::size_t kFormatBytes = 48;
inline constexpr std::size_t kLinieBytes = 24;

// Takes each field from bytes the caller has claimed with Need().
struct FieldReader {
    ByteCursor& in;
    void U8(std::uint8_t& v) { v = in.U8(); }
    void U32(std::uint32_t& v) { v = in.U32(); }
    void I32(std::int32_t& v) { v = in.I32(); }
    void F32(float& v) { v = in.F32(); }
    void F64(double& v) { v = in.F64(); }
};

struct FieldWriter {
    ByteSink& out;
    void U8(std::uint8_t v) { out.U8(v); }
    void U32(std::uint32_t v) { out.U32(v); }
    void I32(std::int32_t v) { out.I32(v); }
    void F32(float v) { out.F32(v); }
    void F64(double v) { out.F64(v); }
};

// The 48 fixed bytes of a point (its Zusatz list follows apart).
template <typename Io, typename P>
void PunktFields(Io& io, P& p) {
    io.I32(p.X);
    io.I32(p.Y);
    io.I32(p.Z);
    io.U32(p.Res0);
    io.U32(p.Res1);
    io.U32(p.Res2);
    io.U32(p.Res3);
    io.U32(p.Res4);
    io.U8(p.R);
    io.U8(p.G);
    io.U8(p.B);
    io.U8(p.Marke);
    io.F32(p.TexX);
    io.F32(p.TexY);
    io.I32(p.TexId);
}

template <typename Io, typename F>
void FormatFields(Io& io, F& f) {
    io.I32(f.MoveX);
    io.I32(f.MoveY);
    io.I32(f.MoveZ);
    io.F64(f.RotX);
    io.F64(f.RotY);
    io.F64(f.RotZ);
    io.F32(f.ScalX);
    io.F32(f.ScalY);
    io.F32(f.ScalZ);
}

template <typename Io, typename L>
void LinieFields(Io& io, L& l) {
    io.I32(l.X1);
    io.I32(l.Y1);
    io.I32(l.X2);
    io.I32(l.Y2);
    io.F64(l.Laenge);
}

// The one separator loop of the format: `count` records with a separator
// between each two. Both callbacks give false after a reported failure.
template <typename ReadOne, typename ReadSeparator>
bool ReadSeparated(std::size_t count, ReadOne readOne, ReadSeparator readSeparator) {
    for (std::size_t i = 0; i < count; ++i) {
        if (!readOne(i)) return false;
        if (i + 1 < count && !readSeparator()) return false;
    }
    return true;
}

template <typename WriteOne>
void WriteSeparated(ByteSink& out, std::size_t count, std::uint16_t marke, WriteOne writeOne) {
    for (std::size_t i = 0; i < count; ++i) {
        if (i != 0) out.U16(marke);
        writeOne(i);
    }
}

// The arrays whose separator is the plain Klassenmarke; each names a
// mismatch in its own words.
enum class MarkeOf : std::uint8_t { kPunkte, kIndex, kLinien };

// Reads one plain separator. False after a reported failure.
bool ReadMarke(ArchiveInput& in, std::uint16_t marke, MarkeOf array);

// Fills Punkte with `count` points (1..32767). False after a reported failure.
bool ReadPunktArray(KonModell& model, ArchiveInput& in, std::size_t count, std::uint16_t marke);
void WritePunktArray(const KonModell& model, ByteSink& out, std::uint16_t marke);

// Fills Instanzen with `count` instances. False after a reported failure.
bool ReadFormatArray(KonModell& model, ArchiveInput& in, std::size_t count, std::uint16_t marke);
void WriteFormatArray(const KonModell& model, ByteSink& out, std::uint16_t marke);

}  // namespace kon
