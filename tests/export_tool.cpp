// Writes a plan or glTF file of a Kon file or of the largest model, for the
// render and validator check until kon itself does it.
//
//   kon_export_tool INPUT|--largest OUTPUT.svg|.glb|.gltf [--no-fill]

#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <string_view>

#include "driver/console.h"
#include "driver/load_model.h"
#include "export/gltf.h"
#include "export/svg_plan.h"
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
        std::ifstream in(input, std::ios::binary);
        std::istringstream answers;
        std::ostringstream messages;
        kon::Console console(answers, messages, messages);
        kon::LoadModelFrom(model, in, console, input);
        if (!in.is_open() || model.Geladen != 1) {
            std::cerr << input << ": not loaded\n" << messages.str();
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
