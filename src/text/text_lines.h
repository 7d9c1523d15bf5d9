#pragma once
// The lines of a text file, and the fields of a line.

#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
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
    // After a Rewind: reads this pass to its end (for a text held whole: the
    // file once more) and tells whether it held exactly the bytes of the
    // first (the file did not change in between). True before any Rewind.
    bool SameAsFirstPass();

    // Whether Next gave false before the end of the text.
    bool ReadFailed() const { return readFailed_; }

    // Whether the whole text was read in one go and stays held until the
    // reader goes: then RestFromHere is the text behind the last line given,
    // and stays valid whatever Next does.
    bool HoldsWholeText() const { return whole_; }
    std::span<char> RestFromHere() { return {window_.data() + pos_, window_.data() + end_}; }
    bool MayHoldNul() const { return mayHoldNul_; }

  private:
    static constexpr std::size_t kDefaultWindow = std::size_t{1} << 16;
    // A text up to this size is read whole in one go; the second pass walks
    // the bytes held, and SameAsFirstPass reads the file once more to compare.
    static constexpr std::size_t kWholeText = std::size_t{8} << 20;

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
    bool SameAsHeld();

    void Fill();
    void TakeNewBytes(std::size_t count);

    std::istream& in_;
    std::istream::pos_type start_;
    std::size_t expectedSize_;
    // Only bytes read from the stream are ever looked at, so the window is
    // not cleared first (for a text held whole that would be its size again).
    class Window {
      public:
        explicit Window(std::size_t size) : bytes_(new char[size]), size_(size) {}
        char* data() { return bytes_.get(); }
        std::size_t size() const { return size_; }
        // A larger window holding the first `keep` bytes of this one.
        void Grow(std::size_t size, std::size_t keep);

      private:
        std::unique_ptr<char[]> bytes_;
        std::size_t size_;
    };
    Window window_;
    std::size_t pos_ = 0;  // the unread text is window_[pos_, end_)
    std::size_t end_ = 0;
    std::size_t scanned_ = 0;  // bytes from pos_ on known to hold no LF
    std::size_t total_ = 0;    // bytes taken from the stream in this pass
    bool started_ = false;     // the byte order mark was looked for
    bool ended_ = false;       // no more text comes from the stream
    bool mayHoldNul_ = false;  // a NUL was among the bytes taken
    bool endedAtCtrlZ_ = false;
    bool readFailed_ = false;
    bool rewound_ = false;
    enum class Held : std::uint8_t { kUnchecked, kSame, kChanged };
    Held held_ = Held::kUnchecked;  // the file read again against the text held
    bool whole_ = false;            // the window holds the whole text
    std::size_t textStart_ = 0;     // behind the byte order mark, while whole_
    Checksum checksum_;
    Checksum firstPass_;
};

// Walks the lines of text held in memory, by LineReader's rules.
class HeldLines {
  public:
    HeldLines(std::span<char> text, bool mayHoldNul)
        : pos_(text.data()), end_(text.data() + text.size()), mayHoldNul_(mayHoldNul) {}

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
        value = ParseCommaReal({field.data(), field.size()});
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
