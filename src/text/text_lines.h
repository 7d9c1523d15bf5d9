#pragma once
// The lines of a text file, and the fields of a line.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <span>
#include <string>
#include <string_view>

#include "text/parse_number.h"

namespace kon {

struct TextLine {
    // Up to the first NUL, without the line end (LF, or CR LF).
    std::span<char> content;
    // A line end follows the content and is not hidden behind a NUL.
    bool hasLineEnd = false;

    std::string_view Text() const { return {content.data(), content.size()}; }
};

// Walks the lines of a text file in a seekable stream through a window that
// is refilled as it goes, so the file is never held whole. The text starts
// behind a UTF-8 byte order mark and ends before a Ctrl-Z, as text mode does
// on the home platform; every LF ends a line, and a last line without a line
// end is a line too. A line stays valid until the next call.
class LineReader {
  public:
    // expectedSize (the bytes left in the stream, 0 when unknown) lets the
    // window grow for a long line without overshooting the file.
    LineReader(std::istream& in, std::size_t expectedSize, std::size_t windowSize = kDefaultWindow);

    bool Next(TextLine& line);
    // Back to the start for another pass; false when the stream cannot seek.
    // The first pass is read to its end, so the next can be compared with it.
    bool Rewind();
    // After a Rewind: reads this pass to its end and tells whether it held
    // exactly the bytes of the first (the file did not change in between).
    // True before any Rewind.
    bool SameAsFirstPass();

    // Whether Next gave false before the end of the text.
    bool ReadFailed() const { return readFailed_; }

  private:
    static constexpr std::size_t kDefaultWindow = std::size_t{1} << 16;

    // Length and a Fletcher sum over 64-bit words of every text byte, the
    // words counted from the start of the text whatever the window held.
    struct Checksum {
        std::uint64_t bytes = 0;
        std::uint64_t sum = 0;
        std::uint64_t sumOfSums = 0;
        std::uint64_t word = 0;  // the bytes of an unfinished word

        void Add(const char* data, std::size_t size);
        bool operator==(const Checksum&) const = default;
    };

    void ReadToEnd();

    void Fill();
    void TakeNewBytes(std::size_t count);

    std::istream& in_;
    std::istream::pos_type start_;
    std::size_t expectedSize_;
    std::string window_;
    std::size_t pos_ = 0;  // the unread text is window_[pos_, end_)
    std::size_t end_ = 0;
    std::size_t scanned_ = 0;  // bytes from pos_ on known to hold no LF
    std::size_t total_ = 0;    // bytes taken from the stream in this pass
    bool started_ = false;     // the byte order mark was looked for
    bool ended_ = false;       // no more text comes from the stream
    bool mayHoldNul_ = false;  // a NUL was among the bytes taken
    bool readFailed_ = false;
    bool rewound_ = false;
    Checksum checksum_;
    Checksum firstPass_;
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
