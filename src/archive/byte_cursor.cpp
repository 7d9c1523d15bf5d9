#include "archive/byte_cursor.h"

#include <algorithm>
#include <cstring>

namespace kon {

ByteCursor::ByteCursor(std::istream& in, std::size_t windowSize)
    : in_(in), window_(std::max<std::size_t>(windowSize, 1)) {
    begin_ = pos_ = end_ = window_.data();
}

bool ByteCursor::Refill(std::size_t n) {
    if (readFailed_ || in_.eof()) return false;
    // The unread bytes move to the front; the window grows only for a single
    // read larger than it (no record of the format is).
    const std::size_t kept = Buffered();
    dropped_ += static_cast<std::size_t>(pos_ - begin_);
    if (kept != 0) std::memmove(window_.data(), pos_, kept);
    if (window_.size() < n) window_.resize(std::max(n, 2 * window_.size()));
    unsigned char* const data = window_.data();
    const std::size_t room = window_.size() - kept;
    // read() keeps going until the room is full or the stream has ended.
    in_.read(reinterpret_cast<char*>(data + kept), static_cast<std::streamsize>(room));
    const auto got = static_cast<std::size_t>(in_.gcount());
    if (in_.bad()) readFailed_ = true;
    begin_ = pos_ = data;
    end_ = data + kept + got;
    return Buffered() >= n;
}

void ByteSink::MakeRoom(std::size_t n) {
    constexpr std::size_t kChunk = std::size_t{1} << 16;
    if (used_ != 0) {
        stream_.write(out_.data(), static_cast<std::streamsize>(used_));
        used_ = 0;
    }
    if (out_.size() - used_ < n) out_.resize(std::max({used_ + n, 2 * out_.size(), kChunk}));
}

void ByteSink::Bytes(std::string_view bytes) {
    if (out_.size() - used_ < bytes.size()) MakeRoom(bytes.size());
    std::memcpy(out_.data() + used_, bytes.data(), bytes.size());
    used_ += bytes.size();
}

void ByteSink::Finish() {
    stream_.write(out_.data(), static_cast<std::streamsize>(used_));
    used_ = 0;
}

}  // namespace kon
