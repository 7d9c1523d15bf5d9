// A conversion without the conversion: reads INPUT to its end in the pieces
// the archive reader takes, then writes the bytes of EXPECTED (a finished
// conversion's output) onto OUTPUT through the same file replacement as
// konvert (temporary file, flushed to the device, renamed). Timed beside
// konvert and `cp`, it shows what the safe replacement alone costs.
//
//   replace_only INPUT EXPECTED OUTPUT
#include <fstream>
#include <iostream>
#include <ostream>
#include <vector>

#include "io/output_file.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: replace_only INPUT EXPECTED OUTPUT\n";
        return 2;
    }
    std::ifstream input(argv[1], std::ios::binary);
    std::vector<char> window(std::size_t{1} << 16);
    while (input.read(window.data(), static_cast<std::streamsize>(window.size()))) {
    }
    if (!input.eof()) {
        std::cerr << "replace_only: cannot read " << argv[1] << "\n";
        return 1;
    }
    // Piece by piece, as the writers hand their blocks over.
    std::ifstream expected(argv[2], std::ios::binary);
    const auto result = kon::WriteOutputFile(argv[3], [&](std::ostream& out) {
        while (expected.read(window.data(), static_cast<std::streamsize>(window.size())) ||
               expected.gcount() > 0) {
            out.write(window.data(), expected.gcount());
        }
        if (!expected.eof()) out.setstate(std::ios::failbit);
    });
    return result == kon::OutputResult::kWritten ? 0 : 1;
}
