#pragma once
// The text writer's output block: fields are formatted straight into it, and
// it goes to the stream in large pieces.

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace kon {

class TextChunk {
  public:
    explicit TextChunk(std::ostream& out);
    TextChunk(const TextChunk&) = delete;
    TextChunk& operator=(const TextChunk&) = delete;
    ~TextChunk() { Flush(); }

    // Room for at least `size` more bytes; Commit then says where the
    // written bytes end. Inline, as it is asked once for every row.
    char* Room(std::size_t size) {
        if (block_.size() - used_ < size) MakeRoom(size);
        return block_.data() + used_;
    }
    void Commit(const char* end) { used_ = static_cast<std::size_t>(end - block_.data()); }

    void Append(char c) {
        *Room(1) = c;
        ++used_;
    }
    void Append(std::string_view text);

    // Hands everything written so far to the stream.
    void Flush();

  private:
    void MakeRoom(std::size_t size);

    std::ostream& out_;
    std::string block_;  // its whole size is usable; the first used_ bytes are filled
    std::size_t used_ = 0;
};

}  // namespace kon
