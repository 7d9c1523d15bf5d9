#include "support/archive_builder.h"

#include <algorithm>
#include <sstream>

#include "archive/kon_archive.h"

namespace kon::test {

std::vector<Obj> EmptyStream() {
    return {V(0), V(1), V(4), V(7), V(9), V(9)};
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

ArchiveBuilder& ArchiveBuilder::End(std::uint32_t objects) {
    running_ = static_cast<std::uint16_t>(running_ + objects + 1);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Punkt(const CObPunkt& p, bool tav) {
    Raw(p.X).Raw(p.Y).Raw(p.Z).Raw(p.Res0).Raw(p.Res1).Raw(p.Res2).Raw(p.Res3).Raw(p.Res4);
    Raw(p.R).Raw(p.G).Raw(p.B).Raw(p.Marke).Raw(p.TexX).Raw(p.TexY).Raw(p.TexId);
    if (!tav || p.Marke != 0xEF) return *this;
    Dword(static_cast<std::uint32_t>(p.Zusatz.size()));
    for (const PunktZusatz& z : p.Zusatz) {
        Raw(z.Kennung).Raw(z.Wert1).Raw(z.Wert2).Raw(z.Wert3).Raw(std::uint8_t{0});
    }
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Format(const CObFormat& f) {
    Raw(f.MoveX).Raw(f.MoveY).Raw(f.MoveZ).Raw(f.RotX).Raw(f.RotY).Raw(f.RotZ);
    return Raw(f.ScalX).Raw(f.ScalY).Raw(f.ScalZ);
}

ArchiveBuilder& ArchiveBuilder::Linie(const kon::Linie& l) {
    return Raw(l.X1).Raw(l.Y1).Raw(l.X2).Raw(l.Y2).Raw(l.Laenge);
}

template <typename T, typename WriteOne>
ArchiveBuilder& ArchiveBuilder::Array(const std::vector<T>& records, std::string_view name,
                                      WriteOne writeOne) {
    if (records.empty()) return Word(0);
    Begin(static_cast<std::uint16_t>(records.size()), name);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (i != 0) Marke();
        writeOne(records[i]);
    }
    return End(static_cast<std::uint32_t>(records.size()));
}

ArchiveBuilder& ArchiveBuilder::Punkte(const std::vector<CObPunkt>& points, bool tav) {
    return Array(points, "CObPunkt", [&](const CObPunkt& p) { Punkt(p, tav); });
}

ArchiveBuilder& ArchiveBuilder::Index(const std::vector<Obj>& objects, int advance) {
    Array(objects, "CObIndex", [&](const Obj& o) { Object(o); });
    // Array() moved on by the objects written; the decoded polygons may count fewer.
    if (advance >= 0) running_ = static_cast<std::uint16_t>(marke_ + advance + 1);
    return *this;
}

ArchiveBuilder& ArchiveBuilder::Formate(const std::vector<CObFormat>& formats) {
    return Array(formats, "CObFormat", [&](const CObFormat& f) { Format(f); });
}

ArchiveBuilder& ArchiveBuilder::Linien(std::string_view name,
                                       const std::vector<kon::Linie>& lines) {
    return Array(lines, name, [&](const kon::Linie& l) { Linie(l); });
}

ReadOutcome ReadArchiveBytes(const std::string& bytes, const std::string& path) {
    ReadOutcome outcome;
    std::istringstream in(bytes);
    outcome.diagnostics = ReadKonArchive(in, path, outcome.model);
    for (Diagnostic& d : CheckArchiveEnd(in).items) outcome.diagnostics.items.push_back(d);
    for (const Diagnostic& d : outcome.diagnostics.items) outcome.out += d.message;
    return outcome;
}

namespace {
template <typename T, typename WriteOne>
void Each(ArchiveBuilder& b, const std::vector<T>& records, WriteOne writeOne) {
    b.Dword(static_cast<std::uint32_t>(records.size()));
    for (const T& record : records) writeOne(record);
}
}  // namespace

std::string Records(const KonModell& m) {
    ArchiveBuilder b;
    b.Dword(static_cast<std::uint32_t>(m.Variante));
    Each(b, m.Punkte, [&](const CObPunkt& p) {
        b.Punkt(p, true).Dword(static_cast<std::uint32_t>(p.ZusatzAnzahl));
    });
    Each(b, m.Flaechenliste, [&](const Flaeche& f) {
        b.Dword(static_cast<std::uint32_t>(f.Anzahl));
        for (std::size_t j = 0; j < static_cast<std::size_t>(f.Anzahl); ++j) b.Raw(Ecke(f, j));
    });
    Each(b, m.Instanzen, [&](const CObFormat& f) { b.Format(f); });
    const auto line = [&](const kon::Linie& l) { b.Linie(l); };
    Each(b, m.StrichLinien, line);
    Each(b, m.Linien, line);
    Each(b, m.MassLinien, line);
    return b.bytes();
}

KonModell AsArchived(KonModell m) {
    std::erase_if(m.Flaechenliste, [](const Flaeche& f) { return f.Anzahl == 0; });
    std::stable_sort(m.Flaechenliste.begin(), m.Flaechenliste.end(),
                     [](const Flaeche& a, const Flaeche& b) {
                         return std::min(a.Anzahl, 5) < std::min(b.Anzahl, 5);
                     });
    for (CObPunkt& p : m.Punkte) {
        if (m.Variante == kVarianteTav) break;
        p.Zusatz.clear();
        p.ZusatzAnzahl = 0;
    }
    return m;
}

}  // namespace kon::test
