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

// Reads up to `count` bytes from the start of the stream.
std::string ReadHead(std::istream& in, std::size_t count) {
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(count));
    head.resize(static_cast<std::size_t>(in.gcount()));
    return head;
}

void LoadText(KonModell& model, const std::string& path, Console& console) {
    // Binary on every platform: the reader handles CR LF itself.
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        console.ReportOpenFailure(path);
        return;
    }
    if (ReadKonText(model, in, console, path) != 0) {
        DeriveLines(model);
        model.Geladen = 1;
    }
}

}  // namespace

void LoadModel(KonModell& model, const std::string& path, Console& console) {
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
    try {
        const std::string head = ReadHead(in, kUtf8Bom.size() + kTextMark.size());
        if (IsKonText(head)) {
            in.close();
            LoadText(model, path, console);
            return;
        }
        in.clear();
        in.seekg(0);
        ReadKonArchive(model, in, console, path);
        CheckArchiveEnd(in, console);
    } catch (const std::bad_alloc&) {
        model.Geladen = 0;
        console.ReportAndWait("Nicht genug Speicher!\n");
    }
}

}  // namespace kon
