// One model of a corpus through the whole road: assimp, the mapping, the Kon
// text file and (where the limits allow) the archive, each read back by the
// core readers. Prints one tab-separated line per file for bridge_corpus.sh:
//   EXTENSION  converted|text-only|refused|skipped  REASON
// and exits 1 when a written Kon file does not read back as written.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string>

#include "archive/kon_archive.h"
#include "bridge/assimp_bridge.h"
#include "harness.h"

namespace {

std::string Extension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    if (ext.empty()) return "(none)";
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return ext.substr(1);
}

// Why, without the path and on one line (bridge_corpus.sh groups the
// reasons with their numbers as N).
std::string Reason(const std::string& message, const std::string& path) {
    std::string text =
        message.rfind(path + ": ", 0) == 0 ? message.substr(path.size() + 2) : message;
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\t' || c == '\n' || c == '\r'; }, ' ');
    return text.substr(0, 160);
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> known = kon::bridge::AssimpImportExtensions();
    int status = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string path = argv[i];
        const std::string ext = Extension(path);
        std::cout << ext << '\t';
        if (!std::binary_search(known.begin(), known.end(), ext)) {
            std::cout << "skipped\tnot a format assimp imports\n";
            continue;
        }
        kon::KonModell model;
        const kon::bridge::BridgeResult result = kon::bridge::ImportWithAssimp(path, {}, model);
        if (!result.ok()) {
            std::cout << "refused\t" << Reason(result.error, path) << '\n';
            continue;
        }
        std::string why = kon::fuzz::ReadsBack(model, false);
        if (!why.empty()) {
            std::cout << "FAILED\t" << why << '\n';
            status = 1;
            continue;
        }
        if (const auto tooLarge = kon::CheckFitsKonArchive(model)) {
            std::cout << "text-only\t" << Reason(tooLarge->explanation, path) << '\n';
            continue;
        }
        why = kon::fuzz::ReadsBack(model, true);
        if (!why.empty()) {
            std::cout << "FAILED\t" << why << '\n';
            status = 1;
            continue;
        }
        std::cout << "converted\t" << result.warnings.size() << " warnings\n";
    }
    return status;
}
