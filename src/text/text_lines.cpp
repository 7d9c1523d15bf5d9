#include "text/text_lines.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <string_view>
#include <utility>

#include "text/kon_text.h"

namespace kon {

namespace {

constexpr char kCtrlZ = '\x1A';

char* FindByte(char* begin, char* end, char byte) {
    return static_cast<char*>(std::memchr(begin, byte, static_cast<std::size_t>(end - begin)));
}

// The line from begin to its LF at lineEnd, or to the end of the text when
// lineEnd is null; a CR before the LF and everything from a NUL on are not
// part of it.
void MakeLine(char* begin, char* lineEnd, char* textEnd, bool mayHoldNul, TextLine& line) {
    char* contentEnd = lineEnd != nullptr ? lineEnd : textEnd;
    line.hasLineEnd = lineEnd != nullptr;
    if (lineEnd != nullptr && contentEnd != begin && contentEnd[-1] == '\r') --contentEnd;
    if (mayHoldNul) {
        if (char* nul = FindByte(begin, contentEnd, '\0')) {
            contentEnd = nul;
            line.hasLineEnd = false;
        }
    }
    line.content = std::span<char>(begin, contentEnd);
}

}  // namespace

LineReader::LineReader(std::istream& in, std::size_t expectedSize, std::size_t windowSize)
    : in_(in),
      start_(in.tellg()),
      expectedSize_(expectedSize),
      // Room for the byte order mark in the first fill; the whole text when
      // it is small enough, else a window of at most what the file needs.
      window_(std::max(kUtf8Bom.size(), expectedSize == 0 ? windowSize
                                        : expectedSize <= kWholeText
                                            ? expectedSize + 1
                                            : std::min(windowSize, expectedSize + 1))) {}

void LineReader::Window::Grow(std::size_t size, std::size_t keep) {
    std::unique_ptr<char[]> larger(new char[size]);
    std::memcpy(larger.get(), bytes_.get(), keep);
    bytes_ = std::move(larger);
    size_ = size;
}

void LineReader::Checksum::Add(const char* data, std::size_t size) {
    const char* const end = data + size;
    // Words fill from the text's start: single bytes finish the open word,
    // then whole words go at once, and the rest opens the next word.
    for (; data != end && bytes % 8 != 0; ++data, ++bytes) {
        word |= std::uint64_t{static_cast<unsigned char>(*data)} << (8 * (bytes % 8));
        if (bytes % 8 == 7) {
            sum += word;
            sumOfSums += sum;
            word = 0;
        }
    }
    const std::size_t words = static_cast<std::size_t>(end - data) / 8;
    std::uint64_t s = sum;
    std::uint64_t ss = sumOfSums;
    for (std::size_t k = 0; k < words; ++k, data += 8) {
        std::uint64_t whole = 0;
        std::memcpy(&whole, data, 8);
        s += whole;
        ss += s;
    }
    sum = s;
    sumOfSums = ss;
    bytes += 8 * words;
    for (; data != end; ++data, ++bytes) {
        word |= std::uint64_t{static_cast<unsigned char>(*data)} << (8 * (bytes % 8));
    }
}

void LineReader::ReadToEnd() {
    while (!ended_ && !readFailed_) {
        pos_ = end_;
        Fill();
    }
}

bool LineReader::Rewind() {
    if (whole_) {
        pos_ = textStart_;
        scanned_ = 0;
        rewound_ = true;
        return true;
    }
    if (start_ == std::istream::pos_type(-1) || readFailed_) return false;
    ReadToEnd();
    if (readFailed_) return false;
    if (!rewound_) firstPass_ = checksum_;
    rewound_ = true;
    checksum_ = Checksum{};
    in_.clear();
    if (!in_.seekg(start_)) return false;
    pos_ = end_ = scanned_ = total_ = 0;
    started_ = ended_ = mayHoldNul_ = endedAtCtrlZ_ = false;
    return true;
}

bool LineReader::SameAsFirstPass() {
    if (!rewound_) return true;
    if (whole_) return SameAsHeld();
    ReadToEnd();
    return !readFailed_ && checksum_ == firstPass_;
}

// One read of the whole file is no snapshot: a file rewritten meanwhile can
// give a mix of both versions. Reading it again must give the same bytes up
// to where the text ended: a Ctrl-Z (what follows it is no text), or the end
// of the file, which must still be there (a file that grew is refused too).
bool LineReader::SameAsHeld() {
    if (held_ != Held::kUnchecked) return held_ == Held::kSame;
    held_ = Held::kChanged;
    const std::size_t length = endedAtCtrlZ_ ? end_ + 1 : total_;
    constexpr std::size_t kPiece = std::size_t{1} << 16;
    const std::unique_ptr<char[]> piece(new char[kPiece]);
    in_.clear();
    if (!in_.seekg(start_)) return false;
    for (std::size_t checked = 0; checked < length;) {
        const std::size_t size = std::min(kPiece, length - checked);
        in_.read(piece.get(), static_cast<std::streamsize>(size));
        if (in_.bad()) readFailed_ = true;
        if (static_cast<std::size_t>(in_.gcount()) != size ||
            std::memcmp(piece.get(), window_.data() + checked, size) != 0) {
            return false;
        }
        checked += size;
    }
    if (!endedAtCtrlZ_) {
        in_.read(piece.get(), 1);
        if (in_.bad()) readFailed_ = true;
        if (in_.gcount() != 0 || readFailed_) return false;
    }
    held_ = Held::kSame;
    return true;
}

void LineReader::Fill() {
    if (pos_ != 0) {
        std::memmove(window_.data(), window_.data() + pos_, end_ - pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (end_ == window_.size()) {
        // A line longer than the window: grow, but never much beyond what
        // the rest of the file needs.
        std::size_t size = 2 * window_.size();
        if (expectedSize_ > total_) size = std::min(size, end_ + (expectedSize_ - total_) + 1);
        window_.Grow(std::max(size, window_.size() + 1), end_);
    }
    const std::size_t room = window_.size() - end_;
    in_.read(window_.data() + end_, static_cast<std::streamsize>(room));
    const auto got = static_cast<std::size_t>(in_.gcount());
    if (in_.bad()) readFailed_ = true;
    // read() stops short only at the end of the stream or on an error.
    if (got < room) ended_ = true;
    TakeNewBytes(got);
}

void LineReader::TakeNewBytes(std::size_t count) {
    total_ += count;
    char* begin = window_.data() + end_;
    char* end = begin + count;
    if (!started_ && (ended_ || end_ + count >= kUtf8Bom.size())) {
        started_ = true;
        if (std::string_view(window_.data(), end_ + count).starts_with(kUtf8Bom)) {
            pos_ = kUtf8Bom.size();
            begin = std::max(begin, window_.data() + pos_);
        }
    }
    if (char* ctrlZ = FindByte(begin, end, kCtrlZ)) {
        end = ctrlZ;
        ended_ = true;
        endedAtCtrlZ_ = true;
    }
    if (FindByte(begin, end, '\0') != nullptr) mayHoldNul_ = true;
    // Read in one go, the text is never read again: no sum to compare.
    if (total_ == count && ended_ && !rewound_ && !readFailed_) {
        whole_ = true;
        textStart_ = pos_;
    } else {
        checksum_.Add(begin, static_cast<std::size_t>(end - begin));
    }
    end_ = static_cast<std::size_t>(end - window_.data());
}

bool LineReader::Next(TextLine& line) {
    char* lineEnd = nullptr;
    for (;;) {
        char* const from = window_.data() + pos_ + scanned_;
        lineEnd = FindByte(from, window_.data() + end_, '\n');
        if (lineEnd != nullptr) break;
        scanned_ = end_ - pos_;
        if (ended_) break;
        Fill();
        if (readFailed_) return false;
    }
    char* const begin = window_.data() + pos_;
    char* const textEnd = window_.data() + end_;
    if (lineEnd == nullptr && begin == textEnd) return false;
    pos_ = static_cast<std::size_t>((lineEnd != nullptr ? lineEnd + 1 : textEnd) - window_.data());
    scanned_ = 0;
    MakeLine(begin, lineEnd, textEnd, mayHoldNul_, line);
    return true;
}

bool HeldLines::Next(TextLine& line) {
    if (pos_ == end_) return false;
    char* const begin = pos_;
    char* const lineEnd = FindByte(begin, end_, '\n');
    pos_ = lineEnd != nullptr ? lineEnd + 1 : end_;
    MakeLine(begin, lineEnd, end_, mayHoldNul_, line);
    return true;
}

}  // namespace kon
