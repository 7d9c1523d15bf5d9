#pragma once
// The bytes of a text file in memory, cut into lines and fields.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

#include "text/parse_number.h"

namespace kon {

enum class WholeStreamResult { kRead, kReadError, kTooLarge };

// Reads the stream from where it stands to its end into `bytes`, which then
// holds at most `limit` bytes.
WholeStreamResult ReadWholeStream(std::istream& in, std::string& bytes, std::size_t limit);

// The part of the bytes that is text: behind a UTF-8 byte order mark, and up
// to a Ctrl-Z, which ends text input as text mode does on the home platform.
std::span<char> TextContent(std::string& bytes);

struct TextLine {
    // Up to the first NUL, without the line end (LF, or CR LF).
    std::span<char> content;
    // A line end follows the content and is not hidden behind a NUL.
    bool hasLineEnd = false;

    std::string_view Text() const { return {content.data(), content.size()}; }
};

// Walks the lines of the text: every LF ends one, and a last line without
// a line end is a line too.
class LineCursor {
  public:
    explicit LineCursor(std::span<char> text);
    bool Next(TextLine& line);

  private:
    char* pos_;
    char* end_;
    bool mayHoldNul_;
};

// Walks the fields of a line: a run of separators is one boundary, so empty
// fields vanish and leading or trailing separators give none.
class FieldCursor {
  public:
    FieldCursor(std::span<char> content, char separator)
        : pos_(content.data()),
          end_(content.data() + content.size()),
          separator_(separator),
          plainSeparator_(IsPlainSeparator(separator)) {}

    bool Next(std::span<char>& field) {
        SkipSeparators();
        if (pos_ == end_) return false;
        char* start = pos_;
        while (pos_ != end_ && *pos_ != separator_) ++pos_;
        field = std::span<char>(start, pos_);
        return true;
    }

    // The next field read as ParseClampedInt and ParseCommaReal read it; the
    // everyday forms straight from the line, without finding the field's end
    // first. False when the line has no more fields.
    bool NextInt(std::int32_t& value) {
        SkipSeparators();
        if (pos_ == end_) return false;
        const char* pos = pos_;
        if (plainSeparator_ && ScanPlainInt(pos, end_, value) && AtFieldEnd(pos)) {
            pos_ += pos - pos_;
            return true;
        }
        std::span<char> field;
        Next(field);
        value = ParseClampedInt({field.data(), field.size()});
        return true;
    }
    bool NextReal(double& value) {
        SkipSeparators();
        if (pos_ == end_) return false;
        const char* pos = pos_;
        if (plainSeparator_ && ScanPlainReal(pos, end_, value) && AtFieldEnd(pos)) {
            pos_ += pos - pos_;
            return true;
        }
        std::span<char> field;
        Next(field);
        value = ParseCommaReal(field);
        return true;
    }

  private:
    // A separator that cannot be part of an everyday number, so those can
    // be read without looking for it.
    static bool IsPlainSeparator(char separator) {
        return std::string_view("0123456789+-.,").find(separator) == std::string_view::npos;
    }
    void SkipSeparators() {
        while (pos_ != end_ && *pos_ == separator_) ++pos_;
    }
    bool AtFieldEnd(const char* pos) const { return pos == end_ || *pos == separator_; }

    char* pos_;
    char* end_;
    char separator_;
    bool plainSeparator_;
};

}  // namespace kon
