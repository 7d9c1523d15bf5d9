#include "io/load_model.h"

#include <filesystem>
#include <fstream>
#include <new>
#include <optional>
#include <string>

#include "archive/kon_archive.h"
#include "model/derive_lines.h"
#include "model/faults.h"
#include "text/kon_text.h"

namespace kon {

namespace {

// Reads up to `count` bytes from the start of the stream and rewinds it;
// nothing where the device fails (its first bytes are unknown then, and a
// text file would be taken for an archive).
std::optional<std::string> ReadHead(std::istream& in, std::size_t count) {
    std::string head(count, '\0');
    in.read(head.data(), static_cast<std::streamsize>(count));
    if (in.bad()) return std::nullopt;
    head.resize(static_cast<std::size_t>(in.gcount()));
    in.clear();
    in.seekg(0);
    return head;
}

void Append(Diagnostics& to, Diagnostics&& from) {
    for (Diagnostic& d : from.items) to.items.push_back(std::move(d));
}

bool OutOfMemory(const Diagnostics& diagnostics) {
    const Diagnostic* error = diagnostics.Error();
    return error != nullptr && error->kind == FaultKind::kOutOfMemory;
}

LoadResult CannotOpen(const std::string& path) {
    LoadResult result;
    result.diagnostics.items.push_back(Diagnostic{Severity::kError,
                                                  FaultKind::kCannotOpen,
                                                  "Can't open " + path + "!\n",
                                                  "expected a readable regular file",
                                                  {}});
    return result;
}

}  // namespace

LoadResult LoadKonStream(std::istream& in, std::string_view name, KonModell& model) {
    LoadResult result;
    try {
        const std::optional<std::string> head = ReadHead(in, kUtf8Bom.size() + kTextMark.size());
        if (!head) {
            result.diagnostics.items.push_back(ReadFault(name, "the input could not be read"));
            return result;
        }
        if (LooksLikeKonText(*head)) {
            // Both forms are read in binary mode, so the text reader takes the
            // same stream again from its start; it handles line ends itself.
            result.form = KonForm::kText;
            result.diagnostics = ReadKonText(in, name, model);
            if (result.diagnostics.Ok()) DeriveLines(model);
            return result;
        }
        result.diagnostics = ReadKonArchive(in, name, model);
        // A load that ran out of memory ends there, as it would have on the spot.
        if (!OutOfMemory(result.diagnostics)) Append(result.diagnostics, CheckArchiveEnd(in));
    } catch (const std::bad_alloc&) {
        result.diagnostics.items.push_back(OutOfMemoryFault());
    }
    return result;
}

LoadResult LoadKonFile(const std::string& path, KonModell& model) {
    // Only a regular file is an input; a directory would open on some
    // platforms and then fail on the first read.
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::status(path, ec))) {
        return CannotOpen(path);
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) return CannotOpen(path);
    return LoadKonStream(in, path, model);
}

}  // namespace kon
