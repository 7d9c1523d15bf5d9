#include "text/text_chunk.h"

#include <cstring>
#include <ostream>

#include "text/fixed_format.h"

namespace kon {

namespace {
constexpr std::size_t kBlockSize = std::size_t{1} << 16;
}  // namespace

TextChunk::TextChunk(std::ostream& out) : out_(out), block_(kBlockSize, '\0') {}

char* TextChunk::Room(std::size_t size) {
    if (block_.size() - used_ < size) {
        Flush();
        if (block_.size() < size) block_.resize(size);
    }
    return block_.data() + used_;
}

void TextChunk::Append(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    used_ += text.size();
}

void TextChunk::AppendInt(std::int64_t value) {
    Commit(FormatSigned(Room(kMaxIntegerChars), value));
}

void TextChunk::Flush() {
    out_.write(block_.data(), static_cast<std::streamsize>(used_));
    used_ = 0;
}

}  // namespace kon
