#pragma once
// The formats kon reads and writes. Each is one registration: its name (for
// --to), its extension, what it can do and its writer. The Kon forms are read
// by content; a format that is read by name brings its own reader, so an
// import bridge adds its formats with one Add call each.

#include <functional>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "io/load_model.h"
#include "model/diagnostic.h"
#include "model/kon_modell.h"

namespace kon::cli {

// The settings of one run that readers of other formats take.
struct ReadSettings {
    // Kon units per source unit; without it the format's own default.
    std::optional<double> scale;
};

// What one write reports: what the output leaves out of the model, or why
// nothing was written (the output is then left as it was).
struct WriteReport {
    std::vector<std::string> warnings{};
    std::string error{};
};

// The settings of one run that writers take.
struct WriteSettings {
    char separator = ';';            // Kon text field separator (konvert's default)
    std::string extension = ".csv";  // Kon text file extension (konvert's default)
    bool fill = true;                // plan: polygons filled
};

using ReadFunction = std::function<LoadResult(const std::string& path, const ReadSettings& settings,
                                              KonModell& model)>;

struct Format {
    std::string name{};
    std::string extension{};  // with its dot; the Kon text file takes the run's
    std::string description{};
    bool usesTextExtension = false;
    bool readByContent = false;  // a Kon form, told apart by its bytes
    // Reads a file of this format that is not a Kon file; empty for the Kon
    // forms, which are recognised by their content.
    ReadFunction read{};
    // Why the model cannot be written in this format; empty when it always can.
    std::function<std::optional<Diagnostic>(const KonModell& model)> refuse{};
    // Empty for a format that is only read.
    std::function<WriteReport(const KonModell& model, std::ostream& out,
                              const WriteSettings& settings)>
        write{};

    bool CanRead() const { return readByContent || read != nullptr; }
    bool CanWrite() const { return write != nullptr; }
};

// Filled first (Add, AddReader, AddLater), then looked up, from several
// threads at once if need be; the formats added later are added by the
// first lookup that needs them, once.
class FormatRegistry {
  public:
    FormatRegistry();
    FormatRegistry(FormatRegistry&&) noexcept;
    FormatRegistry& operator=(FormatRegistry&&) noexcept;
    ~FormatRegistry();

    // kon's own formats, and the bridge's where it is built in.
    static FormatRegistry Standard();

    void Add(Format format) { formats_.push_back(std::move(format)); }
    // Gives every format of this extension (with its dot) that is not a Kon
    // form this reader; false when there is none.
    bool AddReader(std::string_view extension, const ReadFunction& read);
    // Formats whose list costs time to make (loading a library): `add` runs
    // on a registry holding the formats added so far, at the first lookup
    // those do not answer, or at the first call of All. One such step at most.
    void AddLater(std::function<void(FormatRegistry&)> add);

    const Format* Find(std::string_view name) const;
    // The writable format whose extension this is (ignoring letter case).
    const Format* ByExtension(std::string_view extension, const WriteSettings& settings) const;
    // The format that reads files of this extension by name (ignoring letter
    // case); none for the Kon forms, which are read by content.
    const Format* Reader(std::string_view extension) const;
    // Every format, those added later included.
    const std::vector<Format>& All() const;
    std::vector<std::string> WritableNames() const;

  private:
    struct Later;

    std::vector<Format> formats_;
    std::unique_ptr<Later> later_;
};

// The formats of the assimp bridge, added later: its writers, and its reader
// added to every format whose extension assimp reads. Nothing in a build
// without it, or when its module cannot be loaded (then said once on
// standard error).
void AddBridgeFormats(FormatRegistry& registry);

std::string AsciiLowerCopy(std::string_view text);

}  // namespace kon::cli
