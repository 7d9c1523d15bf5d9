// Writes the largest model in both Kon forms, or a text file holding one
// polygon of a given number of corners, for the conversion timings.
//
//   make_largest_model TEXT ARCHIVE
//   make_largest_model --long-row CORNERS TEXT

#include <charconv>
#include <cstddef>
#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "archive/index_stream.h"
#include "archive/kon_archive.h"
#include "largest_model.h"
#include "text/kon_text.h"

namespace {

constexpr char kTrenner = ';';

bool WriteText(const kon::KonModell& model, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    kon::WriteKonText(model, out, kTrenner);
    out.close();
    return static_cast<bool>(out);
}

bool WriteArchive(const kon::KonModell& model, const std::string& path) {
    std::ofstream out(path, std::ios::binary);
    kon::WriteKonArchive(model, out);
    out.close();
    return static_cast<bool>(out);
}

void Describe(const kon::KonModell& m) {
    std::cerr << "points " << m.Punkte.size() << ", polygons " << m.Flaechenliste.size()
              << ", index objects " << kon::CountIndexObjects(m) << ", instances "
              << m.Instanzen.size() << ", lines " << m.Linien.size() << ", dashed lines "
              << m.StrichLinien.size() << ", dimension lines " << m.MassLinien.size() << "\n";
}

int Usage() {
    std::cerr << "usage: make_largest_model TEXT ARCHIVE\n"
                 "       make_largest_model --long-row CORNERS TEXT\n";
    return 2;
}

int WriteLargest(const std::string& textPath, const std::string& archivePath) {
    const kon::KonModell model = kon::bench::LargestModel();
    Describe(model);
    if (kon::CheckFitsKonArchive(model)) {
        std::cerr << "the model does not fit an archive\n";
        return 1;
    }
    if (!WriteText(model, textPath) || !WriteArchive(model, archivePath)) {
        std::cerr << "cannot write the model\n";
        return 1;
    }
    return 0;
}

int WriteLongRow(std::string_view cornersArg, const std::string& textPath) {
    std::size_t corners = 0;
    const auto [end, ec] =
        std::from_chars(cornersArg.data(), cornersArg.data() + cornersArg.size(), corners);
    if (ec != std::errc{} || end != cornersArg.data() + cornersArg.size()) return Usage();
    const kon::KonModell model = kon::bench::LongPolygonModel(corners);
    Describe(model);
    if (!WriteText(model, textPath)) {
        std::cerr << "cannot write the model\n";
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string_view(argv[1]) == "--long-row") {
        return WriteLongRow(argv[2], argv[3]);
    }
    if (argc == 3) return WriteLargest(argv[1], argv[2]);
    return Usage();
}
