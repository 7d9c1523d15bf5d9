#include "support/archive_builder.h"

#include <cstring>
#include <sstream>

#include "archive/kon_archive.h"
#include "support/captured_console.h"

namespace kon::test {

std::vector<Obj> EmptyStream() {
    return {V(0), V(1), V(4), V(7), V(9), V(9)};
}

ArchiveBuilder& ArchiveBuilder::Word(std::uint16_t value) {
    bytes_ += static_cast<char>(value & 0xFF);
    bytes_ += static_cast<char>(value >> 8);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Dword(std::uint32_t value) {
    Word(static_cast<std::uint16_t>(value & 0xFFFF));
    return Word(static_cast<std::uint16_t>(value >> 16));
}

ArchiveBuilder& ArchiveBuilder::Byte(std::uint8_t value) {
    bytes_ += static_cast<char>(value);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Text(std::string_view text) {
    bytes_ += text;
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Header(std::uint32_t kennung, std::uint32_t format) {
    return Dword(kennung).Dword(format);
}

ArchiveBuilder& ArchiveBuilder::Kopf(std::string_view name) {
    return Word(0xFFFF).Word(0).Word(static_cast<std::uint16_t>(name.size())).Text(name);
}

ArchiveBuilder& ArchiveBuilder::Begin(std::uint16_t count, std::string_view name) {
    marke_ = running_;
    return Word(count).Kopf(name);
}

ArchiveBuilder& ArchiveBuilder::Marke() {
    return Word(marke_);
}

ArchiveBuilder& ArchiveBuilder::End(std::uint32_t objects) {
    running_ = static_cast<std::uint16_t>(running_ + objects + 1);
    return *this;
}

namespace {
template <typename T>
std::uint32_t Bits(T value) {
    static_assert(sizeof(T) == 4);
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, 4);
    return bits;
}
std::uint64_t Bits64(double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, 8);
    return bits;
}
}  // namespace

ArchiveBuilder& ArchiveBuilder::Punkt(const CObPunkt& p, bool tav) {
    Dword(Bits(p.X)).Dword(Bits(p.Y)).Dword(Bits(p.Z));
    Dword(p.Res0).Dword(p.Res1).Dword(p.Res2).Dword(p.Res3).Dword(p.Res4);
    Byte(p.R).Byte(p.G).Byte(p.B).Byte(p.Marke);
    Dword(Bits(p.TexX)).Dword(Bits(p.TexY)).Dword(Bits(p.TexId));
    if (!tav || p.Marke != 0xEF) return *this;
    Dword(static_cast<std::uint32_t>(p.Zusatz.size()));
    for (const PunktZusatz& z : p.Zusatz)
        Byte(z.Kennung).Byte(z.Wert1).Byte(z.Wert2).Byte(z.Wert3).Byte(0);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Format(const CObFormat& f) {
    Dword(Bits(f.MoveX)).Dword(Bits(f.MoveY)).Dword(Bits(f.MoveZ));
    for (double r : {f.RotX, f.RotY, f.RotZ}) {
        Dword(static_cast<std::uint32_t>(Bits64(r)))
            .Dword(static_cast<std::uint32_t>(Bits64(r) >> 32));
    }
    return Dword(Bits(f.ScalX)).Dword(Bits(f.ScalY)).Dword(Bits(f.ScalZ));
}

ArchiveBuilder& ArchiveBuilder::Linie(const kon::Linie& l) {
    Dword(Bits(l.X1)).Dword(Bits(l.Y1)).Dword(Bits(l.X2)).Dword(Bits(l.Y2));
    const std::uint64_t bits = Bits64(l.Laenge);
    return Dword(static_cast<std::uint32_t>(bits)).Dword(static_cast<std::uint32_t>(bits >> 32));
}

ArchiveBuilder& ArchiveBuilder::Object(const Obj& o) {
    return Dword(Bits(o.wert)).Dword(Bits(o.kennzeichen));
}

namespace {
// Writes records with the Klassenmarke between them.
template <typename Records, typename WriteOne>
void Separated(ArchiveBuilder& b, const Records& records, WriteOne writeOne) {
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i != 0) b.Marke();
        writeOne(records[i]);
    }
}
}  // namespace

ArchiveBuilder& ArchiveBuilder::Punkte(const std::vector<CObPunkt>& points, bool tav) {
    if (points.empty()) return Word(0);
    Begin(static_cast<std::uint16_t>(points.size()), "CObPunkt");
    Separated(*this, points, [&](const CObPunkt& p) { Punkt(p, tav); });
    return End(static_cast<std::uint32_t>(points.size()));
}

ArchiveBuilder& ArchiveBuilder::Index(const std::vector<Obj>& objects, int advance) {
    Begin(static_cast<std::uint16_t>(objects.size()), "CObIndex");
    Separated(*this, objects, [&](const Obj& o) { Object(o); });
    return End(advance < 0 ? static_cast<std::uint32_t>(objects.size())
                           : static_cast<std::uint32_t>(advance));
}

ArchiveBuilder& ArchiveBuilder::Formate(const std::vector<CObFormat>& formats) {
    if (formats.empty()) return Word(0);
    Begin(static_cast<std::uint16_t>(formats.size()), "CObFormat");
    Separated(*this, formats, [&](const CObFormat& f) { Format(f); });
    return End(static_cast<std::uint32_t>(formats.size()));
}

ArchiveBuilder& ArchiveBuilder::Linien(std::string_view name,
                                       const std::vector<kon::Linie>& lines) {
    if (lines.empty()) return Word(0);
    Begin(static_cast<std::uint16_t>(lines.size()), name);
    Separated(*this, lines, [&](const kon::Linie& l) { Linie(l); });
    return End(static_cast<std::uint32_t>(lines.size()));
}

ArchiveBuilder& ArchiveBuilder::EmptyTail() {
    return Word(0).AfterInstances();
}

ArchiveBuilder& ArchiveBuilder::AfterInstances() {
    return Word(0).Word(0).Word(0).Word(0);
}

}  // namespace kon::test

namespace kon::test {

ReadOutcome ReadArchiveBytes(const std::string& bytes, const std::string& path) {
    ReadOutcome outcome;
    std::istringstream in(bytes);
    CapturedConsole c("\n\n\n\n");
    ReadKonArchive(outcome.model, in, c.console, path);
    CheckArchiveEnd(in, c.console);
    outcome.out = c.out.str();
    return outcome;
}

}  // namespace kon::test
