#pragma once
// The bytes of a text file in memory, cut into lines and fields.

#include <cstddef>
#include <iosfwd>
#include <span>
#include <string>
#include <string_view>

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
        : pos_(content.data()), end_(content.data() + content.size()), separator_(separator) {}

    bool Next(std::span<char>& field) {
        while (pos_ != end_ && *pos_ == separator_) ++pos_;
        if (pos_ == end_) return false;
        char* start = pos_;
        while (pos_ != end_ && *pos_ != separator_) ++pos_;
        field = std::span<char>(start, pos_);
        return true;
    }

  private:
    char* pos_;
    char* end_;
    char separator_;
};

}  // namespace kon
