#include "text/text_chunk.h"

#include <cstring>
#include <ostream>

namespace kon {

namespace {
constexpr std::size_t kBlockSize = std::size_t{1} << 16;
}  // namespace

TextChunk::TextChunk(std::ostream& out) : out_(out), block_(kBlockSize, '\0') {}

void TextChunk::MakeRoom(std::size_t size) {
    Flush();
    if (block_.size() < size) block_.resize(size);
}

void TextChunk::Append(std::string_view text) {
    std::memcpy(Room(text.size()), text.data(), text.size());
    used_ += text.size();
}

void TextChunk::Flush() {
    out_.write(block_.data(), static_cast<std::streamsize>(used_));
    used_ = 0;
}

}  // namespace kon
