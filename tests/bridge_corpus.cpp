// One model of a corpus through the whole road: assimp, the mapping, the Kon
// text file and (where the limits allow) the archive, each read back by the
// core readers. Prints one tab-separated line per file for bridge_corpus.sh:
//   EXTENSION  converted|text-only|refused|skipped  REASON
// and exits 1 when a written Kon file does not read back as written.

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>

#include "archive/kon_archive.h"
#include "bridge/assimp_bridge.h"
#include "io/load_model.h"
#include "text/kon_text.h"

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

// Writes one form and reads it back: the same points and polygons.
bool ReadsBack(const kon::KonModell& model, bool archive, std::string& why) {
    std::stringstream bytes;
    if (archive) {
        kon::WriteKonArchive(model, bytes);
    } else {
        kon::WriteKonText(model, bytes, ';');
    }
    kon::KonModell back;
    const kon::LoadResult loaded = kon::LoadKonStream(bytes, "corpus", back);
    const char* form = archive ? "archive" : "text";
    if (const kon::Diagnostic* error = loaded.diagnostics.Error()) {
        why = std::string(form) + " does not read back: " + error->message;
        return false;
    }
    if (back.Punkte.size() != model.Punkte.size() ||
        back.Flaechenliste.size() != model.Flaechenliste.size()) {
        why = std::string(form) + " reads back with other counts";
        return false;
    }
    for (std::size_t i = 0; i < model.Punkte.size() && !archive; ++i) {
        const kon::CObPunkt& p = model.Punkte[i];
        const kon::CObPunkt& q = back.Punkte[i];
        if (p.X != q.X || p.Y != q.Y || p.Z != q.Z || p.R != q.R || p.G != q.G || p.B != q.B) {
            why = std::string(form) + " reads back other point " + std::to_string(i);
            return false;
        }
    }
    return true;
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
        std::string why;
        if (!ReadsBack(model, false, why)) {
            std::cout << "FAILED\t" << why << '\n';
            status = 1;
            continue;
        }
        if (const auto tooLarge = kon::CheckFitsKonArchive(model)) {
            std::cout << "text-only\t" << Reason(tooLarge->explanation, path) << '\n';
            continue;
        }
        if (!ReadsBack(model, true, why)) {
            std::cout << "FAILED\t" << why << '\n';
            status = 1;
            continue;
        }
        std::cout << "converted\t" << result.warnings.size() << " warnings\n";
    }
    return status;
}
