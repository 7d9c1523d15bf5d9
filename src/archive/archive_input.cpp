#include "archive/archive_input.h"

#include "model/faults.h"
#include "model/integer_text.h"

namespace kon {

namespace {
Location At(std::size_t offset) {
    return Location{Location::Unit::kByte, offset};
}
}  // namespace

bool ArchiveInput::Fail(FaultKind kind, std::string message, std::string explanation,
                        std::size_t offset) {
    diagnostics.items.push_back(
        Diagnostic{Severity::kError, kind, std::move(message), std::move(explanation), At(offset)});
    return false;
}

bool ArchiveInput::FailShort(std::string_view expected) {
    if (cursor.ReadFailed()) return FailRead();
    return Fail(FaultKind::kTruncated, "Unerwartetes Dateiende in " + std::string(name) + "!\n",
                "expected " + std::string(expected) + ", found the end of the file",
                cursor.TruncatedAt());
}

bool ArchiveInput::FailRead() {
    diagnostics.items.push_back(
        ReadFault(name, "the input could not be read", At(cursor.Offset())));
    return false;
}

void ArchiveInput::Note(std::int64_t read, std::int64_t expected) {
    diagnostics.items.push_back(
        Diagnostic{Severity::kNote, FaultKind::kNone,
                   "I: " + Decimal(read) + " S: " + Decimal(expected) + "\n",
                   "expected " + Decimal(expected) + ", found " + Decimal(read), At(valueStart)});
}

bool ArchiveInput::FailFormatfehler(std::string_view number, std::string explanation,
                                    std::size_t offset) {
    return Fail(FaultKind::kBadFraming,
                "Formatfehler " + std::string(number) + " in " + std::string(name) + "!\n",
                std::move(explanation), offset);
}

}  // namespace kon
