#include "driver/load_model.h"

#include <filesystem>
#include <fstream>
#include <new>
#include <string_view>

#include "archive/kon_archive.h"
#include "driver/ascii_case.h"
#include "model/derive_lines.h"
#include "text/kon_text.h"

namespace kon {

namespace {

constexpr std::string_view kTextMark = "KON";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

bool IsKonText(std::string_view head) {
    if (head.substr(0, kUtf8Bom.size()) == kUtf8Bom) head.remove_prefix(kUtf8Bom.size());
    return StartsWithIgnoreCase(head, kTextMark);
}

// Reads up to `count` bytes from the start of the stream and rewinds it.
std::string ReadHead(std::istream& in, std::size_t count) {
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(count));
    head.resize(static_cast<std::size_t>(in.gcount()));
    in.clear();
    in.seekg(0);
    return head;
}

}  // namespace

void LoadModelFrom(KonModell& model, std::istream& in, Console& console, const std::string& path) {
    try {
        if (IsKonText(ReadHead(in, kUtf8Bom.size() + kTextMark.size()))) {
            // Both forms are read in binary mode, so the text reader takes the
            // same stream again from its start; it handles line ends itself.
            if (ReadKonText(model, in, console, path) != 0) {
                DeriveLines(model);
                model.Geladen = 1;
            }
            return;
        }
        ReadKonArchive(model, in, console, path);
        CheckArchiveEnd(in, console);
    } catch (const std::bad_alloc&) {
        model.Geladen = 0;
        console.ReportAndWait("Nicht genug Speicher!\n");
    }
}

void LoadModel(KonModell& model, const std::string& path, Console& console) {
    // Only a regular file is an input; a directory would open on some
    // platforms and then fail on the first read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::status(path, ec))) {
        console.ReportOpenFailure(path);
        return;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        console.ReportOpenFailure(path);
        return;
    }
    LoadModelFrom(model, in, console, path);
}

}  // namespace kon
