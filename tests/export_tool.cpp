// Writes a plan or glTF file of a Kon file or of the largest model, for the
// render and validator check until kon itself does it.
//
//   kon_export_tool INPUT|--largest OUTPUT.svg|.glb|.gltf [--no-fill]

#include <fstream>
#include <iostream>
#include <string>
#include <string_view>

#include "export/gltf.h"
#include "export/svg_plan.h"
#include "io/load_model.h"
#include "largest_model.h"

int main(int argc, char** argv) {
    if (argc < 3 || argc > 4) {
        std::cerr << "usage: kon_export_tool INPUT|--largest OUTPUT.svg|.glb|.gltf [--no-fill]\n";
        return 2;
    }
    const std::string input = argv[1];
    const std::string output = argv[2];
    kon::KonModell model;
    if (input == "--largest") {
        model = kon::bench::LargestModel();
    } else {
        const kon::LoadResult loaded = kon::LoadKonFile(input, model);
        if (const kon::Diagnostic* error = loaded.diagnostics.Error()) {
            std::cerr << input << ": not loaded: " << error->message;
            return 1;
        }
    }
    std::ofstream out(output, std::ios::binary);
    const std::string_view name = output;
    if (name.ends_with(".svg")) {
        kon::SvgOptions options;
        options.fill = !(argc == 4 && std::string_view(argv[3]) == "--no-fill");
        kon::WriteSvgPlan(model, out, options);
    } else if (name.ends_with(".glb") || name.ends_with(".gltf")) {
        kon::WriteGltf(model, out,
                       name.ends_with(".glb") ? kon::GltfForm::kBinary : kon::GltfForm::kJson);
    } else {
        std::cerr << output << ": unknown output format\n";
        return 2;
    }
    out.close();
    if (!out) {
        std::cerr << output << ": not written\n";
        return 1;
    }
    return 0;
}
