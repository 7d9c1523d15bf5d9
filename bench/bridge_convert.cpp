// The bridge's whole file conversions, for timing against `assimp export`:
//
//   bridge_convert import IN OUT.kon     any assimp format to a Kon archive
//   bridge_convert export IN.kon OUT.ply a Kon file to PLY
//   bridge_convert torus OUT.obj         30000 vertices, 60000 triangles
//   bridge_convert largest OUT.kon OUT.obj  the largest model in both forms

#include <cmath>
#include <fstream>
#include <iostream>
#include <numbers>
#include <sstream>
#include <string>

#include "archive/kon_archive.h"
#include "bridge/assimp_bridge.h"
#include "io/load_model.h"
#include "largest_model.h"

namespace {

int Report(const kon::bridge::BridgeResult& result) {
    for (const std::string& w : result.warnings) std::cerr << "warning: " << w << "\n";
    if (result.ok()) return 0;
    std::cerr << "error: " << result.error << "\n";
    return 1;
}

bool Save(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
    out.close();
    return static_cast<bool>(out);
}

// A torus of 200 x 150 vertices, two triangles per grid cell.
std::string Torus() {
    constexpr int kAround = 200, kTube = 150;
    std::ostringstream obj;
    for (int i = 0; i < kAround; ++i) {
        for (int j = 0; j < kTube; ++j) {
            const double u = 2 * std::numbers::pi * i / kAround;
            const double v = 2 * std::numbers::pi * j / kTube;
            const double r = 1000 + 300 * std::cos(v);
            obj << "v " << r * std::cos(u) << ' ' << r * std::sin(u) << ' ' << 300 * std::sin(v)
                << "\n";
        }
    }
    const auto at = [](int i, int j) { return (i % kAround) * kTube + (j % kTube) + 1; };
    for (int i = 0; i < kAround; ++i) {
        for (int j = 0; j < kTube; ++j) {
            obj << "f " << at(i, j) << ' ' << at(i + 1, j) << ' ' << at(i + 1, j + 1) << "\n";
            obj << "f " << at(i, j) << ' ' << at(i + 1, j + 1) << ' ' << at(i, j + 1) << "\n";
        }
    }
    return obj.str();
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "import" && argc == 4) {
        kon::KonModell model;
        if (Report(kon::bridge::ImportWithAssimp(argv[2], {}, model)) != 0) return 1;
        if (const auto tooLarge = kon::CheckFitsKonArchive(model)) {
            return Report({{}, std::string(argv[2]) + ": " + tooLarge->explanation});
        }
        std::ostringstream out;
        kon::WriteKonArchive(model, out);
        return Save(argv[3], out.str()) ? 0 : 1;
    }
    if (command == "export" && argc == 4) {
        kon::KonModell model;
        if (!kon::LoadKonFile(argv[2], model).diagnostics.Ok())
            return Report({{}, "cannot read " + std::string(argv[2])});
        std::ostringstream out;
        if (Report(kon::bridge::ExportWithAssimp(model, "ply", out)) != 0) return 1;
        return Save(argv[3], out.str()) ? 0 : 1;
    }
    if (command == "torus" && argc == 3) return Save(argv[2], Torus()) ? 0 : 1;
    if (command == "largest" && argc == 4) {
        const kon::KonModell model = kon::bench::LargestModel();
        std::ostringstream archive, obj;
        kon::WriteKonArchive(model, archive);
        if (Report(kon::bridge::ExportWithAssimp(model, "obj", obj)) != 0) return 1;
        return Save(argv[2], archive.str()) && Save(argv[3], obj.str()) ? 0 : 1;
    }
    std::cerr << "usage: bridge_convert import IN OUT.kon | export IN.kon OUT.ply | torus OUT.obj "
                 "| largest OUT.kon OUT.obj\n";
    return 2;
}
