#include "cli/report.h"

namespace kon::cli {

namespace {

// konvert's messages end with their own line end, which a line of kon's has.
std::string_view WithoutLineEnd(std::string_view text) {
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
    return text;
}

const char* SeverityWord(Severity severity) {
    switch (severity) {
        case Severity::kNote:
            return "note";
        case Severity::kWarning:
            return "warning";
        case Severity::kError:
            break;
    }
    return "error";
}

}  // namespace

std::string Printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= 0x20 && byte != 0x7f) || c == '\n' || c == '\t') {
            shown += c;
        } else {
            shown += "\\x";
            shown += "0123456789abcdef"[byte >> 4];
            shown += "0123456789abcdef"[byte & 15];
        }
    }
    return shown;
}

std::string RenderDiagnostic(std::string_view file, const Diagnostic& d) {
    std::string line(file);
    switch (d.where.unit) {
        case Location::Unit::kLine:
            line += ':';
            line += std::to_string(d.where.value);
            line += ": ";
            break;
        case Location::Unit::kByte:
            line += ": byte ";
            line += std::to_string(d.where.value);
            line += ": ";
            break;
        case Location::Unit::kNone:
            line += ": ";
            break;
    }
    line += SeverityWord(d.severity);
    line += ": ";
    line += d.explanation;
    const std::string_view german = WithoutLineEnd(d.message);
    if (!german.empty()) {
        line += " (konvert: ";
        line += german;
        line += ")";
    }
    return Printable(line) + "\n";
}

std::string RenderDiagnostics(std::string_view file, const Diagnostics& all) {
    // After an error the archive end check finds the unread rest; konvert
    // shows that too, but it is only the error's echo.
    const bool failed = !all.Ok();
    std::string text;
    for (const Diagnostic& d : all.items) {
        if (failed && d.severity == Severity::kWarning) continue;
        text += RenderDiagnostic(file, d);
    }
    return text;
}

std::string RenderError(std::string_view file, std::string_view text) {
    return Printable(std::string(file) + ": error: " + std::string(text)) + "\n";
}

namespace {

nlohmann::ordered_json DiagnosticJson(const Diagnostic& d) {
    nlohmann::ordered_json object = {{"code", FaultCode(d.kind)},
                                     {"message", d.explanation},
                                     {"konvert_message", WithoutLineEnd(d.message)}};
    if (d.where.unit == Location::Unit::kLine) object["line"] = d.where.value;
    if (d.where.unit == Location::Unit::kByte) object["offset"] = d.where.value;
    return object;
}

}  // namespace

nlohmann::ordered_json ErrorJson(const Diagnostics& all) {
    const Diagnostic* d = all.Error();
    return d == nullptr ? nlohmann::ordered_json(nullptr) : DiagnosticJson(*d);
}

nlohmann::ordered_json WarningsJson(const Diagnostics& all) {
    nlohmann::ordered_json warnings = nlohmann::ordered_json::array();
    // As in RenderDiagnostics: after an error a warning is only its echo.
    if (!all.Ok()) return warnings;
    for (const Diagnostic& d : all.items) {
        if (d.severity == Severity::kWarning) warnings.push_back(DiagnosticJson(d));
    }
    return warnings;
}

std::string JsonLine(const nlohmann::ordered_json& object) {
    return object.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

}  // namespace kon::cli
