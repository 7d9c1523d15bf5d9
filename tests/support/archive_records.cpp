#include "support/archive_records.h"

#include <algorithm>
#include <sstream>

#include "archive/kon_archive.h"

namespace kon::test {

std::string ArchiveBytes(const KonModell& model) {
    std::ostringstream out(std::ios::binary);
    WriteKonArchive(model, out);
    return out.str();
}

ReadOutcome ReadArchiveBytes(const std::string& bytes) {
    ReadOutcome outcome;
    std::istringstream in(bytes);
    outcome.diagnostics = ReadKonArchive(in, "m.dat", outcome.model);
    for (Diagnostic& d : CheckArchiveEnd(in).items) outcome.diagnostics.items.push_back(d);
    for (const Diagnostic& d : outcome.diagnostics.items) outcome.out += d.message;
    return outcome;
}

namespace {

// Appends the raw bytes of each value (the host's order: both sides of a
// comparison are dumped the same way).
template <typename... T>
void Put(std::string& out, const T&... values) {
    (out.append(reinterpret_cast<const char*>(&values), sizeof values), ...);
}

template <typename T, typename Dump>
void Each(std::string& out, const std::vector<T>& records, Dump dump) {
    Put(out, records.size());
    for (const T& record : records) dump(record);
}

}  // namespace

std::string Records(const KonModell& m) {
    std::string out;
    Put(out, m.Variante);
    Each(out, m.Punkte, [&](const CObPunkt& p) {
        Put(out, p.X, p.Y, p.Z, p.Res0, p.Res1, p.Res2, p.Res3, p.Res4, p.R, p.G, p.B, p.Marke,
            p.TexX, p.TexY, p.TexId, p.ZusatzAnzahl);
        Each(out, p.Zusatz,
             [&](const PunktZusatz& z) { Put(out, z.Kennung, z.Wert1, z.Wert2, z.Wert3); });
    });
    Each(out, m.Flaechenliste, [&](const Flaeche& f) {
        Put(out, f.Anzahl);
        for (std::size_t j = 0; j < static_cast<std::size_t>(f.Anzahl); ++j) Put(out, Ecke(f, j));
    });
    Each(out, m.Instanzen, [&](const CObFormat& f) {
        Put(out, f.MoveX, f.MoveY, f.MoveZ, f.RotX, f.RotY, f.RotZ, f.ScalX, f.ScalY, f.ScalZ);
    });
    const auto line = [&](const Linie& l) { Put(out, l.X1, l.Y1, l.X2, l.Y2, l.Laenge); };
    Each(out, m.StrichLinien, line);
    Each(out, m.Linien, line);
    Each(out, m.MassLinien, line);
    return out;
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
