#pragma once
// The formats kon reads and writes. Each is one registration: its name (for
// --to), its extension, what it can do and its writer. The Kon forms are read
// by content; a format that is read by name brings its own reader, so an
// import bridge adds its formats with one Add call each.

#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "io/load_model.h"
#include "model/diagnostic.h"
#include "model/kon_modell.h"

namespace kon::cli {

// The settings of one run that writers take.
struct WriteSettings {
    char separator = ';';            // Kon text field separator (konvert's default)
    std::string extension = ".csv";  // Kon text file extension (konvert's default)
    bool fill = true;                // plan: polygons filled
};

struct Format {
    std::string name{};
    std::string extension{};  // with its dot; the Kon text file takes the run's
    std::string description{};
    bool usesTextExtension = false;
    bool readByContent = false;  // a Kon form, told apart by its bytes
    // Reads a file of this format that is not a Kon file; empty for the Kon
    // forms, which are recognised by their content.
    std::function<LoadResult(const std::string& path, KonModell& model)> read{};
    // Why the model cannot be written in this format; empty when it always can.
    std::function<std::optional<Diagnostic>(const KonModell& model)> refuse{};
    // What of the model this format leaves out, when it does; empty when
    // it keeps everything.
    std::function<std::optional<std::string>(const KonModell& model)> loses{};
    // Empty for a format that is only read.
    std::function<void(const KonModell& model, std::ostream& out, const WriteSettings& settings)>
        write{};

    bool CanRead() const { return readByContent || read != nullptr; }
    bool CanWrite() const { return write != nullptr; }
};

class FormatRegistry {
  public:
    // kon's own formats, and the bridge's where it is built in.
    static FormatRegistry Standard();

    void Add(Format format) { formats_.push_back(std::move(format)); }
    const Format* Find(std::string_view name) const;
    // The writable format whose extension this is (ignoring letter case).
    const Format* ByExtension(std::string_view extension, const WriteSettings& settings) const;
    const std::vector<Format>& All() const { return formats_; }
    std::vector<std::string> WritableNames() const;

  private:
    std::vector<Format> formats_;
};

// The text reader refuses a section longer than this, so no longer one is
// written: every point, polygon and instance is one line of its section.
inline constexpr std::size_t kMaxTextSectionLines = 32767;
std::optional<Diagnostic> CheckFitsKonText(const KonModell& model);

std::string AsciiLowerCopy(std::string_view text);

}  // namespace kon::cli
